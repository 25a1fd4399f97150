#include <zamli/codegen/data_object_impl.h>
#include <zamli/types/field_kind.h>
#include <zamli/types/registry.h>
#include <zamli/types/runtime_records.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/primitive.h>
#include <zamli/values/printer.h>

#include <cstdio>
#include <cstdlib>

namespace Zamli {

namespace {

// Two values of a value kind, as getPropertyAddr hands them out (null: unset).
bool SameValue(const PropertyInfo& p, const void* a, const void* b) {
  if (a == nullptr || b == nullptr) return a == b;
  switch (KindOf(p)) {
    case FieldKind::kString:
      return *static_cast<const std::string*>(a) == *static_cast<const std::string*>(b);
    case FieldKind::kBool:
      if (IsOptionalBool(p)) return *static_cast<const signed char*>(a) == *static_cast<const signed char*>(b);
      return *static_cast<const bool*>(a) == *static_cast<const bool*>(b);
    case FieldKind::kInt:
      return *static_cast<const int*>(a) == *static_cast<const int*>(b);
    case FieldKind::kLong:
      return *static_cast<const long*>(a) == *static_cast<const long*>(b);
    case FieldKind::kFloat:
      return *static_cast<const float*>(a) == *static_cast<const float*>(b);
    case FieldKind::kDateTime:
      return *static_cast<const Haldun::System::DateTime*>(a) == *static_cast<const Haldun::System::DateTime*>(b);
    case FieldKind::kBinary:
      return *static_cast<const Binary*>(a) == *static_cast<const Binary*>(b);
    case FieldKind::kReference:
    case FieldKind::kArray:
      break;
  }
  return false;
}

void PrintValue(Printer& out, const PropertyInfo& p, const void* addr) {
  switch (KindOf(p)) {
    case FieldKind::kString:
      out.Quoted(*static_cast<const std::string*>(addr));
      break;
    case FieldKind::kBool:
      out.Bool(IsOptionalBool(p) ? *static_cast<const signed char*>(addr) == 1 : *static_cast<const bool*>(addr));
      break;
    case FieldKind::kInt:
      out.Int(*static_cast<const int*>(addr));
      break;
    case FieldKind::kLong:
      out.Int(*static_cast<const long*>(addr));
      break;
    case FieldKind::kFloat:
      out.Float(*static_cast<const float*>(addr));
      break;
    case FieldKind::kDateTime:
      out.DateTime(*static_cast<const Haldun::System::DateTime*>(addr));
      break;
    case FieldKind::kBinary:
      out.Binary(*static_cast<const Binary*>(addr));
      break;
    case FieldKind::kReference:
    case FieldKind::kArray:
      out.Value(static_cast<const Any*>(addr));
      break;
  }
}

}  // namespace

DynamicData::~DynamicData() = default;

void DynamicData::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  auto* self = const_cast<DynamicData*>(this);
  auto* that = const_cast<DynamicData*>(static_cast<const DynamicData*>(other));
  for (const PropertyRef& p : _GetDataType()->GetAllProperties()) {
    const DataTypeInfo* functions = p.owner->GetDataTypeInfo();
    const void* a = functions->getPropertyAddr(self, p.index);
    const void* b = functions->getPropertyAddr(that, p.index);
    const std::string name = std::string(".") + p.info->name;
    FieldKind kind = KindOf(*p.info);
    if (kind == FieldKind::kReference || kind == FieldKind::kArray) {
      DiffAnyPropertiesInt(static_cast<const Any*>(a), static_cast<const Any*>(b), path, name.c_str(), p.info->flags,
                           diffs);
    } else if (!SameValue(*p.info, a, b)) {
      diffs.AddChanged(path + name);
    }
  }
}

void DynamicData::_Print(Printer& out) const {
  const DataObjectType* type = _GetDataType();
  out.Open(type ? type->GetName() : "kettar.DynamicData", '{');
  if (type != nullptr) {
    auto* self = const_cast<DynamicData*>(this);
    for (const PropertyRef& p : type->GetAllProperties()) {
      const void* addr = p.owner->GetDataTypeInfo()->getPropertyAddr(self, p.index);
      // Unset optionals are left out; an empty optional array is unset too.
      if (addr == nullptr && (p.info->flags & kOptionalFlag)) continue;
      out.Member(p.info->name);
      if (p.info->flags & kSecretFlag) {
        out.Raw(Printer::kSecretMask);
      } else if (addr == nullptr) {
        out.Raw("<unset>");
      } else {
        PrintValue(out, *p.info, addr);
      }
      out.EndMember();
    }
  }
  out.Close('}');
}

}  // namespace Zamli
