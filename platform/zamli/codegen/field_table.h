#pragma once
// A data class described as a table of its fields: where each field lives in
// the object and what kind of field it is. The runtime's generic code walks
// the table, so a generated class carries its field list and nothing else:
// copying, comparison, difference and the record functions are written once,
// here and in field_table.cc, for every class.
#include <haldun/date_time.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/types/records.h>
#include <zamli/values/any.h>

#include <cstddef>
#include <cstdint>
#include <string>
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

struct FieldEntry;

// What one kind of field does; one shared instance per kind.
struct FieldOps {
  void (*copy)(void* to, const void* from);  // deep: nested values are cloned
  bool (*equal)(const void* a, const void* b, const FieldEntry& e, unsigned flags, bool flag);
  bool (*differs)(const void* a, const void* b);  // value kinds only
  void (*get)(void* field, void* out, const FieldEntry& e);
  const void* (*addr)(const void* field);
  void (*set)(void* field, const void* in, const FieldEntry& e);
  void (*swap)(void* field, void* other);
  bool (*isSet)(const void* field);
  void (*unset)(void* field);
  bool reference;  // a Haldun::Ref (its pointer is the value)
};

struct FieldEntry {
  uint32_t offset;
  const FieldOps* ops;
  // References: the class a stored value must have (for the mismatch error)
  // and the run-time test for it.
  const std::type_info* expected;
  bool (*accepts)(const Any* value);
  // Arrays: a new empty array of the field's class.
  Any* (*createArray)();
};

ZAMLI_EXPORT extern const FieldOps kStringField, kBoolField, kIntField, kLongField, kFloatField, kDateTimeField,
    kBinaryField, kOptionalStringField, kOptionalBoolField, kOptionalIntField, kOptionalLongField, kOptionalFloatField,
    kOptionalDateTimeField, kOptionalBinaryField, kReferenceField, kArrayField;

namespace Detail {
template <class X>
bool Accepts(const Any* value) {
  return dynamic_cast<const X*>(value) != nullptr;
}
template <class A>
Any* NewArray() {
  return new A();
}
template <class F>
struct FieldKindOf;
#define ZAMLI_FIELD_KIND(Type, Ops)               \
  template <>                                     \
  struct FieldKindOf<Type> {                      \
    static constexpr const FieldOps* kOps = &Ops; \
  }
ZAMLI_FIELD_KIND(std::string, kStringField);
ZAMLI_FIELD_KIND(bool, kBoolField);
ZAMLI_FIELD_KIND(int, kIntField);
ZAMLI_FIELD_KIND(long, kLongField);
ZAMLI_FIELD_KIND(float, kFloatField);
ZAMLI_FIELD_KIND(Haldun::System::DateTime, kDateTimeField);
ZAMLI_FIELD_KIND(std::vector<unsigned char>, kBinaryField);
ZAMLI_FIELD_KIND(Haldun::Optional<std::string>, kOptionalStringField);
ZAMLI_FIELD_KIND(Haldun::Optional<bool>, kOptionalBoolField);
ZAMLI_FIELD_KIND(Haldun::Optional<int>, kOptionalIntField);
ZAMLI_FIELD_KIND(Haldun::Optional<long>, kOptionalLongField);
ZAMLI_FIELD_KIND(Haldun::Optional<float>, kOptionalFloatField);
ZAMLI_FIELD_KIND(Haldun::Optional<Haldun::System::DateTime>, kOptionalDateTimeField);
ZAMLI_FIELD_KIND(Haldun::Optional<std::vector<unsigned char>>, kOptionalBinaryField);
#undef ZAMLI_FIELD_KIND
template <class X>
struct IsTypedArray : std::false_type {};
template <class X>
struct IsTypedArray<DataArray<X>> : std::true_type {};
template <class X>
struct IsTypedArray<Array<X>> : std::true_type {};
}  // namespace Detail

// The table entry of a field of C++ type F at `offset`.
template <class F>
constexpr FieldEntry MakeField(size_t offset) {
  return FieldEntry{static_cast<uint32_t>(offset), Detail::FieldKindOf<F>::kOps, nullptr, nullptr, nullptr};
}

template <class F>
requires requires { typename F::element_type; }
constexpr FieldEntry MakeField(size_t offset) {
  using X = typename F::element_type;
  if constexpr (Detail::IsTypedArray<X>::value) {
    return FieldEntry{static_cast<uint32_t>(offset), &kArrayField, &typeid(X), &Detail::Accepts<X>,
                      &Detail::NewArray<X>};
  } else {
    return FieldEntry{static_cast<uint32_t>(offset), &kReferenceField, &typeid(X), &Detail::Accepts<X>, nullptr};
  }
}

// A class's field table, with its own property records (same order).
struct FieldTable {
  const FieldEntry* fields;
  int count;
  const PropertyInfo* properties;
};

// The generic operations, on objects given as their first byte.
ZAMLI_EXPORT void CopyFields(const FieldTable& table, void* to, const void* from);
ZAMLI_EXPORT bool EqualFields(const FieldTable& table, const void* a, const void* b, bool flag);
ZAMLI_EXPORT void DiffFields(const FieldTable& table, const void* a, const void* b, const std::string& path,
                             PropertyDiffSet& diffs);

// The record functions, for property `index` of the table.
ZAMLI_EXPORT void FieldGet(const FieldTable& table, void* obj, int index, void* out);
ZAMLI_EXPORT const void* FieldAddr(const FieldTable& table, const void* obj, int index);
ZAMLI_EXPORT void FieldSet(const FieldTable& table, void* obj, int index, const void* in);
ZAMLI_EXPORT void FieldSwap(const FieldTable& table, void* obj, int index, void* other);
ZAMLI_EXPORT bool FieldIsSet(const FieldTable& table, const void* obj, int index);
ZAMLI_EXPORT void FieldUnset(const FieldTable& table, void* obj, int index);

}  // namespace Zamli
