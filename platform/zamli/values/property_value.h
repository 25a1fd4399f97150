#pragma once
// The one way generic code reads a property's value: typed by the kind the
// type object keeps for the property, from the address that the record's
// getPropertyAddr handed out (never null here).
#include <haldun/date_time.h>
#include <zamli/types/type.h>

#include <string>
#include <type_traits>
#include <vector>

namespace Zamli {

class Any;

namespace Detail {
template <class V>
struct ValueAt {
  static const V& Read(const PropertyRef&, const void* addr) { return *static_cast<const V*>(addr); }
};
template <>
struct ValueAt<bool> {
  // An optional boolean hands out its stored byte: 1 is true.
  static bool Read(const PropertyRef& p, const void* addr) {
    return p.optional ? *static_cast<const signed char*>(addr) == 1 : *static_cast<const bool*>(addr);
  }
};
template <>
struct ValueAt<const Any*> {
  static const Any* Read(const PropertyRef&, const void* addr) { return static_cast<const Any*>(addr); }
};
}  // namespace Detail

// Calls `visit` with the value, as one of: const std::string&, bool, int,
// long, float, const Haldun::System::DateTime&,
// const std::vector<unsigned char>&, or const Any* (references and arrays).
template <class Visitor>
decltype(auto) VisitValue(const PropertyRef& p, const void* addr, Visitor&& visit) {
  auto as = [&]<class V>(std::type_identity<V>) -> decltype(auto) { return visit(Detail::ValueAt<V>::Read(p, addr)); };
  if (!p.IsInline()) return as(std::type_identity<const Any*>{});
  switch (p.kind) {
    case ValueKind::kString:
      return as(std::type_identity<std::string>{});
    case ValueKind::kBool:
      return as(std::type_identity<bool>{});
    case ValueKind::kInt:
      return as(std::type_identity<int>{});
    case ValueKind::kLong:
      return as(std::type_identity<long>{});
    case ValueKind::kFloat:
      return as(std::type_identity<float>{});
    case ValueKind::kDateTime:
      return as(std::type_identity<Haldun::System::DateTime>{});
    default:
      return as(std::type_identity<std::vector<unsigned char>>{});
  }
}

// Calls `visit` with two values of the same property, typed alike.
template <class Visitor>
decltype(auto) VisitValues(const PropertyRef& p, const void* a, const void* b, Visitor&& visit) {
  return VisitValue(p, a, [&](const auto& x) -> decltype(auto) {
    using V = std::remove_cvref_t<decltype(x)>;
    return visit(x, Detail::ValueAt<V>::Read(p, b));
  });
}

}  // namespace Zamli
