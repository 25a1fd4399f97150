#include "answers.h"

#include <zamli/types/registry.h>
#include <zamli/types/value_kind.h>

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace Pelksim {
namespace {

// Beyond this depth only required properties are set, so answers stay small.
constexpr int kOptionalDepth = 3;

const Zamli::Type* TypeOf(const Zamli::TypeInfo* info) { return Zamli::TypeRegistry::Instance().FindByTypeInfo(info); }

}  // namespace

std::uint64_t CallSeed(std::uint64_t seed, std::string_view method, std::string_view target) {
  const std::uint64_t h = std::hash<std::string_view>{}(method)*31 + std::hash<std::string_view>{}(target);
  return seed ^ (h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

AnswerMaker::AnswerMaker(const Inventory& inventory, const Zamli::Version& version, std::uint64_t seed)
    : inventory_(inventory), version_(version), random_(seed) {}

const Zamli::DataObjectType* AnswerMaker::ConcreteClassOf(const Zamli::DataObjectType& declared) const {
  // Looked up once per declared type and version, for every maker: finding
  // one walks every registered type, and answers are made on many threads.
  using Key = std::pair<const Zamli::DataObjectType*, const Zamli::Version*>;
  static std::mutex mutex;
  static std::map<Key, const Zamli::DataObjectType*> found;
  const Key key(&declared, &version_);
  std::lock_guard<std::mutex> lock(mutex);
  if (auto it = found.find(key); it != found.end()) return it->second;
  const Zamli::DataObjectType* concrete = nullptr;
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().GetAllTypes()) {
    auto* data = dynamic_cast<const Zamli::DataObjectType*>(t);
    if (data != nullptr && !data->IsFault() && data->IsA(&declared) && data->GetDataTypeInfo()->createInstance &&
        Included(data->GetVersionName().c_str())) {
      concrete = data;
      break;
    }
  }
  found.emplace(key, concrete);
  return concrete;
}

bool AnswerMaker::Included(const char* versionName) const {
  const Zamli::Version* v = Zamli::TypeRegistry::Instance().FindVersion(versionName);
  return v != nullptr && version_.Includes(*v);
}

Json AnswerMaker::Value(const Zamli::PropertyInfo& declared) {
  if ((declared.flags & Zamli::kArrayFlag) == 0) return Item(declared.type, 0);
  Json items = Json::array();
  for (int i = 0, n = Between(1, 3); i < n; ++i) items.push_back(Item(declared.type, 0));
  return items;
}

Json AnswerMaker::Item(const Zamli::TypeInfo* type, int depth) {
  switch (Zamli::ValueKindOf(type)) {
    case Zamli::ValueKind::kString:
      return "text-" + std::to_string(Between(1, 999));
    case Zamli::ValueKind::kBool:
      return Between(0, 1) == 1;
    case Zamli::ValueKind::kInt:
      return Between(0, 1000);
    case Zamli::ValueKind::kLong:
      return static_cast<long>(Between(0, 1 << 30)) * 16;
    case Zamli::ValueKind::kFloat:
      return Between(0, 4000) / 4.0;
    case Zamli::ValueKind::kDateTime: {
      char text[32];
      std::snprintf(text, sizeof text, "2026-%02d-%02dT%02d:%02d:00Z", Between(1, 12), Between(1, 28), Between(0, 23),
                    Between(0, 59));
      return text;
    }
    case Zamli::ValueKind::kBinary:
      return "c2ltdWxhdGVk";  // "simulated"
    case Zamli::ValueKind::kAny:
      return {{"_typeName", "string"}, {"_value", "any-" + std::to_string(Between(1, 999))}};
    case Zamli::ValueKind::kDynamicArray:
      return Json::array({Json{{"_typeName", "string"}, {"_value", "any-" + std::to_string(Between(1, 999))}}});
    case Zamli::ValueKind::kMoRef:
      return Reference(type);
    case Zamli::ValueKind::kEnum: {
      auto* e = dynamic_cast<const Zamli::EnumType*>(TypeOf(type));
      if (e == nullptr || e->GetTagCount() == 0) return nullptr;
      return e->GetTag(Between(0, e->GetTagCount() - 1));
    }
    case Zamli::ValueKind::kData:
      return Object(type, depth);
  }
  return nullptr;
}

Json AnswerMaker::Reference(const Zamli::TypeInfo* type) {
  auto* declared = dynamic_cast<const Zamli::ManagedObjectType*>(TypeOf(type));
  std::vector<std::pair<const Zamli::ManagedObjectType*, std::string>> objects;
  if (declared != nullptr) objects = inventory_.ObjectsOf(*declared);
  Json ref = {{"_typeName", "ManagedObjectReference"}};
  if (objects.empty()) {
    ref["type"] = type->wsdlName;
    ref["value"] = std::string(type->wsdlName) + "-1";
  } else {
    const auto& [objectType, id] = objects[static_cast<size_t>(Between(0, static_cast<int>(objects.size()) - 1))];
    ref["type"] = objectType->GetWsdlName();
    ref["value"] = id;
  }
  return ref;
}

Json AnswerMaker::Object(const Zamli::TypeInfo* type, int depth) {
  Json object = Json::object();
  auto* data = dynamic_cast<const Zamli::DataObjectType*>(TypeOf(type));
  if (data == nullptr) return object;
  if (data->GetDataTypeInfo()->createInstance == nullptr) {
    // Declared abstract (the root of all data objects): a class derived from
    // it that the version has, which the value then names.
    data = ConcreteClassOf(*data);
    if (data == nullptr) return object;
    object["_typeName"] = data->GetWsdlName();
  }
  for (const Zamli::PropertyRef& p : data->GetAllProperties()) {
    if (!Included(p.info->version)) continue;
    if (p.optional && (depth >= kOptionalDepth || Between(0, 1) == 0)) continue;
    if (!p.array) {
      object[p.info->name] = Item(p.info->type, depth + 1);
      continue;
    }
    Json items = Json::array();
    for (int i = 0, n = depth >= kOptionalDepth ? 1 : Between(1, 3); i < n; ++i) {
      items.push_back(Item(p.info->type, depth + 1));
    }
    object[p.info->name] = std::move(items);
  }
  return object;
}

}  // namespace Pelksim
