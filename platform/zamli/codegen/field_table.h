#pragma once
// A data class described as a table of its fields: where each field lives in
// the object and what kind of field it is. The runtime's generic code walks
// the table, so a generated class carries its field list and nothing else:
// copying, comparison and the record functions are written once, here and in
// field_table.cc, for every class. The kind of an entry is the one the type
// object keeps for the property; its operations are looked up from it.
#include <haldun/date_time.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/types/records.h>
#include <zamli/types/value_kind.h>
#include <zamli/values/any.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace Zamli {

class Collection;
class DataArrayBase;
class DynamicArray;
class MoRef;
template <class T>
class Array;
template <class T>
class DataArray;
template <class T>
class Primitive;

struct FieldEntry;

// What one kind of field does; one shared instance per kind.
struct FieldOps {
  void (*copy)(void* to, const void* from);  // deep: nested values are cloned
  bool (*equal)(const void* a, const void* b, const FieldEntry& e, unsigned flags, bool flag);
  void (*get)(void* field, void* out, const FieldEntry& e);
  const void* (*addr)(const void* field);
  void (*set)(void* field, const void* in, const FieldEntry& e);
  void (*swap)(void* field, void* other);
  bool (*isSet)(const void* field);
  void (*unset)(void* field);
};

// The operations of every kind, in the order FieldOpsIndex numbers them: the
// values stored in place (string, bool, int, long, float, date-time,
// binary), the same optional, then references and arrays.
ZAMLI_EXPORT extern const FieldOps kFieldOps[16];

// Where the operations of a field of `kind` are in kFieldOps: in place
// (optional or not), a reference to a value, or an array.
constexpr uint8_t FieldOpsIndex(ValueKind kind, bool optional, bool array) {
  constexpr uint8_t kOptional = 7, kReference = 14, kArray = 15;
  if (array) return kArray;
  uint8_t plain = 0;
  switch (kind) {
    case ValueKind::kString:
      plain = 0;
      break;
    case ValueKind::kBool:
      plain = 1;
      break;
    case ValueKind::kInt:
      plain = 2;
      break;
    case ValueKind::kLong:
      plain = 3;
      break;
    case ValueKind::kFloat:
      plain = 4;
      break;
    case ValueKind::kDateTime:
      plain = 5;
      break;
    case ValueKind::kBinary:
      plain = 6;
      break;
    default:
      return kReference;
  }
  return optional ? static_cast<uint8_t>(plain + kOptional) : plain;
}

inline const FieldOps* FieldOpsOf(ValueKind kind, bool optional, bool array) {
  return &kFieldOps[FieldOpsIndex(kind, optional, array)];
}

// A field's operations, kept as their place in kFieldOps: a table entry then
// needs no pointer into the runtime, which the loader would resolve by name.
struct FieldOpsRef {
  uint8_t index;
  const FieldOps* operator->() const { return &kFieldOps[index]; }
  operator const FieldOps*() const { return &kFieldOps[index]; }
};

// What a field holding a reference or an array needs beyond its kind: the
// class a stored value must have (for the mismatch error), the run-time test
// for it, and for an array field a new empty array of the field's class.
struct FieldReference {
  const std::type_info* expected;
  bool (*accepts)(const Any* value);
  Any* (*createArray)();
};

// Small, so that the tables of the classes a copy or comparison walks stay
// in the nearest cache.
struct FieldEntry {
  uint32_t offset;
  ValueKind kind;  // of the values, or of an array's items
  bool array;
  // The size of a field whose value is its bytes (numbers, flags, date-times
  // and their optionals), which a copy moves with its neighbours in one go;
  // 0 for a field that owns memory.
  uint8_t plainBytes;
  FieldOpsRef ops;
  const FieldReference* reference;  // null for a value held in place
};

namespace Detail {
template <class X>
bool Accepts(const Any* value) {
  return dynamic_cast<const X*>(value) != nullptr;
}
template <class A>
Any* NewArray() {
  return MakeValue<A>();
}
// The kind of a value stored in place as C++ type V.
template <class V>
struct InPlaceKind;
#define ZAMLI_IN_PLACE_KIND(Type, Kind)                 \
  template <>                                           \
  struct InPlaceKind<Type> {                            \
    static constexpr ValueKind kKind = ValueKind::Kind; \
  }
ZAMLI_IN_PLACE_KIND(std::string, kString);
ZAMLI_IN_PLACE_KIND(bool, kBool);
ZAMLI_IN_PLACE_KIND(int, kInt);
ZAMLI_IN_PLACE_KIND(long, kLong);
ZAMLI_IN_PLACE_KIND(float, kFloat);
ZAMLI_IN_PLACE_KIND(Haldun::System::DateTime, kDateTime);
ZAMLI_IN_PLACE_KIND(std::vector<unsigned char>, kBinary);
#undef ZAMLI_IN_PLACE_KIND
template <class V>
struct IsOptional : std::false_type {
  using Value = V;
};
template <class V>
struct IsOptional<Haldun::Optional<V>> : std::true_type {
  using Value = V;
};
template <class X>
struct IsEnumBox : std::false_type {};
template <class E>
struct IsEnumBox<Primitive<E>> : std::is_enum<E> {};
// The kind of the values of class X (a Haldun::Ref<X> field), or of the
// items of an array of X.
template <class X>
constexpr ValueKind KindOfClass() {
  if constexpr (std::is_same_v<X, Any>) {
    return ValueKind::kAny;
  } else if constexpr (std::is_same_v<X, MoRef>) {
    return ValueKind::kMoRef;
  } else if constexpr (std::is_same_v<X, DynamicArray>) {
    return ValueKind::kDynamicArray;
  } else if constexpr (IsEnumBox<X>::value || std::is_enum_v<X>) {
    return ValueKind::kEnum;
  } else {
    return ValueKind::kData;
  }
}
template <class X>
struct ArrayItems : std::false_type {};
template <class T>
struct ArrayItems<Array<T>> : std::true_type {
  static constexpr ValueKind kKind = std::is_enum_v<T> ? ValueKind::kEnum : InPlaceKind<T>::kKind;
};
template <class T>
struct ArrayItems<DataArray<T>> : std::true_type {
  static constexpr ValueKind kKind = KindOfClass<T>();
};
template <class X>
constexpr FieldReference ReferenceOf() {
  if constexpr (ArrayItems<X>::value) {
    return FieldReference{&typeid(X), &Accepts<X>, &NewArray<X>};
  } else {
    return FieldReference{&typeid(X), &Accepts<X>, nullptr};
  }
}
// One per class, shared by every field that holds it.
template <class X>
inline constexpr FieldReference kReferenceOf = ReferenceOf<X>();
}  // namespace Detail

// The table entry of a field of C++ type F at `offset`.
template <class F>
constexpr FieldEntry MakeField(size_t offset) {
  using V = typename Detail::IsOptional<F>::Value;
  constexpr ValueKind kind = Detail::InPlaceKind<V>::kKind;
  constexpr bool plain = std::is_trivially_copyable_v<F>;
  static_assert(sizeof(F) < 256);
  return FieldEntry{static_cast<uint32_t>(offset), kind, false, plain ? uint8_t{sizeof(F)} : uint8_t{0},
                    FieldOpsRef{FieldOpsIndex(kind, Detail::IsOptional<F>::value, false)}, nullptr};
}

template <class F>
requires requires { typename F::element_type; }
constexpr FieldEntry MakeField(size_t offset) {
  using X = typename F::element_type;
  if constexpr (Detail::ArrayItems<X>::value) {
    constexpr ValueKind kind = Detail::ArrayItems<X>::kKind;
    return FieldEntry{static_cast<uint32_t>(offset), kind, true, 0, FieldOpsRef{FieldOpsIndex(kind, false, true)},
                      &Detail::kReferenceOf<X>};
  } else {
    constexpr ValueKind kind = Detail::KindOfClass<X>();
    return FieldEntry{static_cast<uint32_t>(offset), kind, false, 0, FieldOpsRef{FieldOpsIndex(kind, false, false)},
                      &Detail::kReferenceOf<X>};
  }
}

// A class's field table, with its own property records (same order).
struct FieldTable {
  const FieldEntry* fields;
  int count;
  const PropertyInfo* properties;
};

// The generic operations, on objects given as their first byte.
// The copy takes a table's entries as constants of the class's code rather
// than through its table, which a tree's copy would otherwise load from
// memory once more for every object.
ZAMLI_EXPORT void CopyFields(const FieldEntry* fields, int count, void* to, const void* from);
ZAMLI_EXPORT bool EqualFields(const FieldTable& table, const void* a, const void* b, bool flag);
// The comparison of a class whose base has its own: the base's (`base`)
// first, then the table's. One jump for each such class.
ZAMLI_EXPORT bool EqualBaseAndFields(const FieldTable& table, const Any* a, const Any* b, bool flag,
                                     bool (*base)(const Any* a, const Any* b, bool flag));

// The record functions, for property `index` of the table.
ZAMLI_EXPORT void FieldGet(const FieldTable& table, void* obj, int index, void* out);
// Inline: generic code reads every property through it.
inline const void* FieldAddr(const FieldTable& table, const void* obj, int index) {
  const FieldEntry& e = table.fields[index];
  return e.ops->addr(static_cast<const char*>(obj) + e.offset);
}
ZAMLI_EXPORT void FieldSet(const FieldTable& table, void* obj, int index, const void* in);
ZAMLI_EXPORT void FieldSwap(const FieldTable& table, void* obj, int index, void* other);
ZAMLI_EXPORT bool FieldIsSet(const FieldTable& table, const void* obj, int index);
ZAMLI_EXPORT void FieldUnset(const FieldTable& table, void* obj, int index);

}  // namespace Zamli
