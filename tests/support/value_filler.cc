#include "value_filler.h"

#include <haldun/exception.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/mo_ref.h>
#include <zamli/values/primitive.h>

#include <charconv>
#include <cstdio>
#include <cstring>

namespace PelkTest {

namespace {

const Zamli::Type* TypeOf(const Zamli::PropertyInfo& p) {
  return Zamli::TypeRegistry::Instance().FindByTypeInfo(p.type);
}

bool InOwnNamespace(const Zamli::PropertyInfo& p) {
  const Zamli::Type* t = TypeOf(p);
  return t != nullptr && t->GetNamespace() != nullptr && t->GetNamespace()->GetName() == "pelk";
}

bool IsManaged(const Zamli::PropertyInfo& p) { return p.type->kind == Zamli::kManagedKind; }

std::string Hex(long c) {
  char buffer[17];
  unsigned long v = static_cast<unsigned long>(c);
  // The 8 bytes of c, little-endian, in byte order.
  for (int i = 0; i < 8; ++i) std::snprintf(buffer + 2 * i, 3, "%02lx", (v >> (8 * i)) & 0xff);
  return buffer;
}

}  // namespace

const Zamli::DataObjectType& WorkloadRootType() {
  auto* t = dynamic_cast<const Zamli::DataObjectType*>(
      Zamli::TypeRegistry::Instance().FindByName("qor.cluster.PelkClusterHealthSummary"));
  if (t == nullptr) throw Haldun::NotFoundException("the workload's root type is not registered");
  return *t;
}

Haldun::Ref<Zamli::DynamicData> ValueFiller::Build(const Zamli::DataObjectType& type) {
  Haldun::Ref<Zamli::DynamicData> root(type.GetDataTypeInfo()->createInstance());
  Fill(*root, type, 0, "");
  return root;
}

std::string ValueFiller::PathOf(const std::string& path, const char* part) const {
  if (!listener_) return {};
  return path.empty() || part[0] == '[' ? path + part : path + "." + part;
}

std::string ValueFiller::ElementPath(const std::string& path, int index) const {
  return listener_ ? PathOf(path, ("[" + std::to_string(index) + "]").c_str()) : std::string();
}

void ValueFiller::Fill(Zamli::DynamicData& object, const Zamli::DataObjectType& type, int depth,
                       const std::string& path) {
  for (const Zamli::PropertyRef& p : type.GetAllProperties()) {
    FillProperty(object, p, depth, PathOf(path, p.info->name));
  }
}

void ValueFiller::FillProperty(Zamli::DynamicData& object, const Zamli::PropertyRef& p, int depth,
                               const std::string& path) {
  const Zamli::PropertyInfo& info = *p.info;
  const Zamli::DataTypeInfo& functions = *p.owner->GetDataTypeInfo();
  bool scalarArray = p.array && Zamli::IsPrimitive(p.kind);
  if (p.IsInline() || scalarArray) {
    if (scalarArray) {
      Haldun::Ref<Zamli::Any> array = MakeScalarArray(info, depth, path);
      Zamli::Any* raw = array.Get();
      functions.setProperty(&object, p.index, &raw);
    } else {
      SetScalar(object, p, path);
    }
    return;
  }
  // Object-valued: data objects, references, anyType, and arrays of them.
  if (depth + 1 > options_.maxDepth) return;
  if (options_.onlyOwnNamespace && !IsManaged(info) && !InOwnNamespace(info)) return;
  if (p.array) {
    Haldun::Ref<Zamli::Any> holder;
    functions.getProperty(&object, p.index, &holder);  // the lazily created, empty array
    auto* elements = static_cast<Zamli::DataArrayBase*>(holder.Get());
    for (int i = 0, n = options_.arrayLength(depth); i < n; ++i) {
      Haldun::Ref<Zamli::Any> e = MakeObject(info, depth + 1, ElementPath(path, i));
      elements->AppendAny(e.Get());
    }
    return;
  }
  Haldun::Ref<Zamli::Any> value = MakeObject(info, depth + 1, path);
  Zamli::Any* raw = value.Get();
  functions.setProperty(&object, p.index, &raw);
}

Haldun::Ref<Zamli::Any> ValueFiller::MakeObject(const Zamli::PropertyInfo& p, int depth, const std::string& path) {
  ++objects_;
  if (IsManaged(p)) {
    std::string type = NextString("type", PathOf(path, "type"), path);
    if (options_.declaredReferenceTypes) type = p.type->name;
    std::string id = NextString("value", PathOf(path, "value"), path);
    return Haldun::Ref<Zamli::Any>(new Zamli::MoRef(std::move(type), std::move(id)));
  }
  if (p.type == &Zamli::gAnyTypeInfo) return Zamli::Box(NextString(p.name, path, path));
  if (p.type == &gKettarDynamicArrayTypeInfo) {
    auto* array = new Zamli::DynamicArray();
    std::string element = ElementPath(path, 0);
    array->AppendAny(Zamli::Box(NextString(p.name, element, element)).Get());
    return Haldun::Ref<Zamli::Any>(array);
  }
  auto* type = dynamic_cast<const Zamli::DataObjectType*>(TypeOf(p));
  Haldun::Ref<Zamli::DynamicData> object(type->GetDataTypeInfo()->createInstance());
  Fill(*object, *type, depth, path);
  return Haldun::Ref<Zamli::Any>(object);
}

std::string ValueFiller::NextString(const char* name, const std::string& path, const std::string& changePath) {
  // One allocation, room for the change mark included: the tree's building
  // is measured, and a string made in pieces would weigh more than the setting.
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, counter_).ptr;
  size_t length = std::strlen(name);
  std::string value;
  value.reserve(length + 2 + static_cast<size_t>(end - digits));
  value.append(name, length).append(1, '-').append(digits, end);
  if (Changed()) value += '~';
  Report(
      path, [&] { return value; }, changePath);
  return value;
}

Haldun::Ref<Zamli::Any> ValueFiller::MakeScalarArray(const Zamli::PropertyInfo& p, int owner, const std::string& path) {
  int n = options_.arrayLength(owner);
  auto element = [&](int i) { return ElementPath(path, i); };
  if (p.type == &Zamli::gStringTypeInfo) {
    auto* array = new Zamli::Array<std::string>();
    for (int i = 0; i < n; ++i) array->Append(NextString(p.name, element(i), path));
    return Haldun::Ref<Zamli::Any>(array);
  }
  if (p.type == &Zamli::gIntTypeInfo) {
    auto* array = new Zamli::Array<int>();
    for (int i = 0; i < n; ++i) {
      int v = static_cast<int>(static_cast<unsigned>(7 * counter_)) + (Changed() ? 1 : 0);
      array->Append(v);
      Report(
          element(i), [v] { return std::to_string(v); }, path);
    }
    return Haldun::Ref<Zamli::Any>(array);
  }
  auto* array = new Zamli::Array<long>();
  for (int i = 0; i < n; ++i) {
    long v = 1000003L * counter_ + (Changed() ? 1 : 0);
    array->Append(v);
    Report(
        element(i), [v] { return std::to_string(v); }, path);
  }
  return Haldun::Ref<Zamli::Any>(array);
}

void ValueFiller::SetScalar(Zamli::DynamicData& object, const Zamli::PropertyRef& p, const std::string& path) {
  const Zamli::PropertyInfo& info = *p.info;
  auto set = [&](const void* value) { p.owner->GetDataTypeInfo()->setProperty(&object, p.index, value); };
  auto report = [&](auto text) { Report(path, text, path); };
  long c = counter_;
  bool changed = Changed();
  switch (p.kind) {
    case Zamli::ValueKind::kString: {
      std::string v = NextString(info.name, path, path);
      set(&v);
      return;
    }
    case Zamli::ValueKind::kBool: {
      bool v = (c % 2 == 1) != changed;
      set(&v);
      report([v] { return std::string(v ? "true" : "false"); });
      return;
    }
    case Zamli::ValueKind::kInt: {
      int v = static_cast<int>(static_cast<unsigned>(7 * c) + (changed ? 1u : 0u));
      set(&v);
      report([v] { return std::to_string(v); });
      return;
    }
    case Zamli::ValueKind::kLong: {
      long v = 1000003L * c + (changed ? 1 : 0);
      set(&v);
      report([v] { return std::to_string(v); });
      return;
    }
    case Zamli::ValueKind::kFloat: {
      float v = static_cast<float>(c) + 0.5f + (changed ? 1.0f : 0.0f);
      set(&v);
      report([v] {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(v));
        return std::string(text);
      });
      return;
    }
    case Zamli::ValueKind::kDateTime: {
      long micros = 1000003L * c + (changed ? 1 : 0);
      auto v = Haldun::System::DateTime::FromMicroseconds(micros);
      set(&v);
      report([micros] { return std::to_string(micros); });
      return;
    }
    case Zamli::ValueKind::kBinary: {
      std::vector<unsigned char> v(8);
      for (int i = 0; i < 8; ++i) v[static_cast<size_t>(i)] = static_cast<unsigned char>((c >> (8 * i)) & 0xff);
      if (changed) v[0] ^= 1;
      set(&v);
      report([shown = changed ? c ^ 1 : c] { return Hex(shown); });
      return;
    }
    default:
      break;
  }
}

}  // namespace PelkTest
