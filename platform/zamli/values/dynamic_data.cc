#include <zamli/codegen/data_object_impl.h>
#include <zamli/types/registry.h>
#include <zamli/types/runtime_records.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/primitive.h>
#include <zamli/values/printer.h>
#include <zamli/values/property_value.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace Zamli {

namespace {

// ".name", without an allocation for most names.
class DottedName {
 public:
  explicit DottedName(const char* name) {
    size_t length = std::strlen(name);
    if (length + 2 <= sizeof buffer_) {
      buffer_[0] = '.';
      std::memcpy(buffer_ + 1, name, length + 1);
    } else {
      long_ = std::string(".") + name;
      text_ = long_.c_str();
    }
  }
  DottedName(const DottedName&) = delete;
  DottedName& operator=(const DottedName&) = delete;
  const char* Get() const { return text_; }

 private:
  char buffer_[128];
  std::string long_;
  const char* text_ = buffer_;
};

// Two values of an in-place kind, as getPropertyAddr hands them out (null: unset).
bool SameValue(const PropertyRef& p, const void* a, const void* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return VisitValues(p, a, b, [](const auto& x, const auto& y) { return x == y; });
}

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
  auto* self = const_cast<DynamicData*>(this);
  auto* that = const_cast<DynamicData*>(static_cast<const DynamicData*>(other));
  for (const PropertyRef& p : _GetDataType()->GetAllProperties()) {
    const auto addressOf = p.owner->GetDataTypeInfo()->getPropertyAddr;
    const void* a = addressOf(self, p.index);
    const void* b = addressOf(that, p.index);
    if (!p.IsInline()) {
      if (a == b) continue;  // the same value, or none on either side
      DiffPropertyValues(p, static_cast<const Any*>(a), static_cast<const Any*>(b), path,
                         DottedName(p.info->name).Get(), diffs);
    } else if (!SameValue(p, a, b)) {
      diffs.AddChanged(path + "." + p.info->name);
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
