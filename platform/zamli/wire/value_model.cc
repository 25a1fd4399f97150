#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/wire/value_model.h>

#include <cctype>

namespace Zamli::Wire {

namespace {
struct PrimitiveEntry {
  const TypeInfo* info;
  ValueKind kind;
  const char* wire;
};
const PrimitiveEntry kPrimitives[] = {
    {&gStringTypeInfo, ValueKind::kString, "string"},
    {&gBoolTypeInfo, ValueKind::kBool, "boolean"},
    {&gIntTypeInfo, ValueKind::kInt, "int"},
    {&gLongTypeInfo, ValueKind::kLong, "long"},
    {&gFloatTypeInfo, ValueKind::kFloat, "float"},
    {&gDateTimeTypeInfo, ValueKind::kDateTime, "dateTime"},
    {&gBinaryTypeInfo, ValueKind::kBinary, "base64Binary"},
};
}  // namespace

bool PrimitiveKindOf(const TypeInfo* type, ValueKind& kind) {
  for (const PrimitiveEntry& e : kPrimitives) {
    if (e.info == type) {
      kind = e.kind;
      return true;
    }
  }
  return false;
}

const char* PrimitiveWireName(ValueKind kind) {
  for (const PrimitiveEntry& e : kPrimitives) {
    if (e.kind == kind) return e.wire;
  }
  return "anyType";
}

bool PrimitiveByWireName(std::string_view name, ValueKind& kind) {
  for (const PrimitiveEntry& e : kPrimitives) {
    if (name == e.wire) {
      kind = e.kind;
      return true;
    }
  }
  return false;
}

namespace {
bool NamesType(ValueKind kind) { return kind == ValueKind::kData || kind == ValueKind::kEnum; }

[[noreturn]] void NotRegistered(const TypeInfo* type) {
  Fail(Problem::kSystemError, "", std::string("type ") + type->name + " is not registered");
}
}  // namespace

Declared DeclaredOf(const TypeInfo* type, bool array) {
  Declared d;
  d.array = array;
  d.kind = ValueKindOf(type);
  if (NamesType(d.kind)) {
    d.type = TypeRegistry::Instance().FindByTypeInfo(type);
    if (d.type == nullptr) NotRegistered(type);
  }
  return d;
}

Declared DeclaredOf(const PropertyRef& property) {
  if (NamesType(property.kind) && property.type == nullptr) NotRegistered(property.info->type);
  return Declared{property.kind, property.type, property.array};
}

Declared DeclaredOf(const Type& type) {
  if (auto* array = dynamic_cast<const ArrayType*>(&type)) {
    if (array->GetItemType()->IsArray()) {
      Fail(Problem::kInvalidType, "", "arrays of arrays do not travel: " + type.GetName());
    }
    Declared d = DeclaredOf(*array->GetItemType());
    d.array = true;
    return d;
  }
  return DeclaredOf(type.GetTypeInfo(), false);
}

std::string ItemWireName(const Declared& d) {
  switch (d.kind) {
    case ValueKind::kData:
    case ValueKind::kEnum:
      return d.type->GetWsdlName();
    case ValueKind::kMoRef:
      return std::string(kMoRefWireName);
    case ValueKind::kAny:
    case ValueKind::kDynamicArray:
      return std::string(kAnyWireName);
    default:
      return PrimitiveWireName(d.kind);
  }
}

std::string_view ArrayItemName(std::string_view name) {
  constexpr std::string_view kPrefix = "ArrayOf";
  if (name.size() <= kPrefix.size() || name.substr(0, kPrefix.size()) != kPrefix) return {};
  return name.substr(kPrefix.size());
}

std::string ArrayWireName(std::string_view itemWireName) {
  std::string name = "ArrayOf";
  name += itemWireName;
  name[7] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[7])));
  return name;
}

bool VersionFilter::Includes(const char* versionName) const {
  if (versionName == nullptr) return true;
  if (versionName == lastName_) return lastIncluded_;
  auto it = cache_.find(versionName);
  if (it == cache_.end()) {
    const Version* v = TypeRegistry::Instance().FindVersion(versionName);
    it = cache_.emplace(versionName, v != nullptr && version_.Includes(*v)).first;
  }
  lastName_ = versionName;
  lastIncluded_ = it->second;
  return lastIncluded_;
}

bool VersionFilter::Includes(const Type& type) const {
  const TypeInfo* info = type.GetTypeInfo();
  if (info != nullptr) return Includes(info->version);
  return Includes(type.GetVersionName().c_str());
}

const DataObjectType* VersionFilter::Downlevel(const DataObjectType* type) const {
  while (type != nullptr && !Includes(*type)) type = type->GetBase();
  return type != nullptr && type->GetTypeInfo() == &gKettarDynamicDataTypeInfo ? nullptr : type;
}

const Type* FindWireType(std::string_view name) { return TypeRegistry::Instance().FindByWsdlName(name); }

std::string_view ReferenceWireName(std::string_view typeName) {
  const Type* type = TypeRegistry::Instance().FindByName(typeName);
  return type != nullptr && type->GetKind() == kManagedKind ? std::string_view(type->GetWsdlName()) : typeName;
}

std::string_view ReferenceTypeName(std::string_view wireName) {
  const Type* type = FindWireType(wireName);
  return type != nullptr && type->GetKind() == kManagedKind ? std::string_view(type->GetName()) : wireName;
}

}  // namespace Zamli::Wire
