#include <zamli/codegen/data_object_impl.h>
#include <zamli/types/registry.h>
#include <zamli/types/runtime_records.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/primitive.h>
#include <zamli/values/printer.h>
#include <zamli/values/property_value.h>

#include <type_traits>

namespace Zamli {

namespace {

void PrintValue(Printer& out, const PropertyRef& p, const void* addr) {
  VisitValue(p, addr, [&out](const auto& v) {
    using V = std::remove_cvref_t<decltype(v)>;
    if constexpr (std::is_same_v<V, std::string>) {
      out.Quoted(v);
    } else if constexpr (std::is_same_v<V, bool>) {
      out.Bool(v);
    } else if constexpr (std::is_same_v<V, int> || std::is_same_v<V, long>) {
      out.Int(v);
    } else if constexpr (std::is_same_v<V, float>) {
      out.Float(v);
    } else if constexpr (std::is_same_v<V, Haldun::System::DateTime>) {
      out.DateTime(v);
    } else if constexpr (std::is_same_v<V, Binary>) {
      out.Binary(v);
    } else {
      out.Value(v);
    }
  });
}

}  // namespace

DynamicData::~DynamicData() = default;

void DynamicData::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  DiffDataObjects(*this, *static_cast<const DynamicData*>(other), path, diffs);
}

void DynamicData::_Print(Printer& out) const {
  const DataObjectType* type = _GetDataType();
  out.Open(type ? type->GetName() : "kettar.DynamicData", '{');
  if (type != nullptr) {
    auto* self = const_cast<DynamicData*>(this);
    for (const PropertyRef& p : type->GetAllProperties()) {
      const void* addr = p.owner->GetDataTypeInfo()->getPropertyAddr(self, p.index);
      // Unset optionals are left out; an empty optional array is unset too.
      if (addr == nullptr && p.optional) continue;
      out.Member(p.info->name);
      if (p.secret) {
        out.Raw(Printer::kSecretMask);
      } else if (addr == nullptr) {
        out.Raw("<unset>");
      } else {
        PrintValue(out, p, addr);
      }
      out.EndMember();
    }
  }
  out.Close('}');
}

}  // namespace Zamli
