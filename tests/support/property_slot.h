#pragma once
// Moving a property's value between two objects through the record
// functions, as the runtime does: getProperty into storage of the property's
// C++ type, then setProperty from it.
#include <haldun/date_time.h>
#include <haldun/ref.h>
#include <zamli/types/type.h>
#include <zamli/values/dynamic_data.h>

#include <string>
#include <vector>

namespace PelkTest {

// True for a property of one plain value (no array, no object).
inline bool IsValueKind(const Zamli::PropertyInfo& p) {
  return !(p.flags & Zamli::kArrayFlag) && Zamli::IsPrimitive(Zamli::ValueKindOf(p.type));
}

// Storage for any property's value.
struct Slot {
  std::string s;
  bool b = false;
  signed char byte = -1;  // an optional boolean: -1 unset, 0 false, 1 true
  int i = 0;
  long l = 0;
  float f = 0;
  Haldun::System::DateTime t;
  std::vector<unsigned char> bin;
  Haldun::Ref<Zamli::Any> ref;
};

// Where getProperty writes the value of `p`.
inline void* OutOf(Slot& slot, const Zamli::PropertyRef& p) {
  if (!p.IsInline()) return &slot.ref;
  switch (p.kind) {
    case Zamli::ValueKind::kString:
      return &slot.s;
    case Zamli::ValueKind::kBool:
      return p.optional ? static_cast<void*>(&slot.byte) : &slot.b;
    case Zamli::ValueKind::kInt:
      return &slot.i;
    case Zamli::ValueKind::kLong:
      return &slot.l;
    case Zamli::ValueKind::kFloat:
      return &slot.f;
    case Zamli::ValueKind::kDateTime:
      return &slot.t;
    default:
      return &slot.bin;
  }
}

// Copies property `p` of `from` into `to` through the records.
inline void MoveProperty(const Zamli::PropertyRef& p, Zamli::DynamicData* from, Zamli::DynamicData* to) {
  const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
  Slot slot;
  r.getProperty(from, p.index, OutOf(slot, p));
  Zamli::Any* raw = slot.ref.Get();
  bool flag = slot.byte == 1;
  const void* in = !p.IsInline()                                     ? static_cast<const void*>(&raw)
                   : p.kind == Zamli::ValueKind::kBool && p.optional ? &flag
                                                                     : OutOf(slot, p);
  r.setProperty(to, p.index, in);
}

}  // namespace PelkTest
