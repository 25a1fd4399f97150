#pragma once
// Enumeration values: held as 32-bit value indexes, travelling as their tags.
// Boxes and arrays of an enumeration E, its five record functions, and the
// typed way between a value and its tag.
#include <zamli/types/accessors.h>
#include <zamli/types/type.h>
#include <zamli/values/array.h>
#include <zamli/values/element_iterator.h>
#include <zamli/values/narrow.h>
#include <zamli/values/primitive.h>
#include <zamli/values/printer.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

namespace Zamli {

template <class E>
concept Enumeration = std::is_enum_v<E>;

// A value's tag, or its index when it names no tag.
ZAMLI_EXPORT void PrintEnumValue(Printer& out, const EnumType* type, int value);

// An array of an enumeration's value indexes, each as its tag.
ZAMLI_EXPORT void PrintEnumArray(Printer& out, const EnumType* type, const std::vector<int>& values);

// The difference of a value that has no parts: changed as a whole or not at
// all. The same for every enumeration's box.
ZAMLI_EXPORT void DiffWhole(const Any& value, const Any* other, const std::string& path, PropertyDiffSet& diffs);

// A copy of an enumeration's array in a new block of `size` bytes, where
// `construct` makes an empty array of its class: each array's _Clone is one
// jump here, as its copy constructor has work after its base's.
ZAMLI_EXPORT Any* CloneEnumArray(const Array<int>& from, std::size_t size, Any* (*construct)(void* block) noexcept);

// One boxed value of E.
template <Enumeration E>
class Primitive<E> : public Any {
 public:
  explicit Primitive(E value) : value_(static_cast<int>(value)) {}
  explicit Primitive(int index) : value_(index) {}
  E GetValue() const { return static_cast<E>(value_); }
  int GetIndex() const { return value_; }

  Type* _GetType() const override { return GetEnumType<E>(); }
  Any* _Clone() const override { return const_cast<Primitive*>(this); }
  bool _IsEqual(const Any* other, bool) const override { return value_ == NarrowTo<Primitive>(other)->value_; }
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override {
    DiffWhole(*this, other, path, diffs);
  }
  void _Print(Printer& out) const override { PrintEnumValue(out, GetEnumType<E>(), value_); }

 private:
  const int value_;
};

// An array of E: the value indexes of an int array, read through a pointer
// to the int array whose storage it presents (itself, for every array made
// here). It equals any int array of the same indexes. Read as a range, it
// yields E values.
template <Enumeration E>
class Array<E> : public Array<int> {
  struct AsValue {
    E operator()(int index) const { return static_cast<E>(index); }
  };

 public:
  using iterator = ElementIterator<std::vector<int>::const_iterator, AsValue>;
  using const_iterator = iterator;

  Array() = default;
  Array(const Array& other) : Array<int>(other) {}
  Array<int>* GetPresentation() const { return presentation_; }
  void Append(E value) { presentation_->Append(static_cast<int>(value)); }
  E Get(size_t index) const { return static_cast<E>(presentation_->GetValues().at(index)); }
  E operator[](size_t index) const { return static_cast<E>(presentation_->GetValues()[index]); }
  size_t size() const { return presentation_->GetValues().size(); }
  bool empty() const { return presentation_->GetValues().empty(); }
  iterator begin() const { return iterator(presentation_->GetValues().begin()); }
  iterator end() const { return iterator(presentation_->GetValues().end()); }

  int GetCollectionLength() const override { return presentation_->Array<int>::GetCollectionLength(); }
  Type* _GetType() const override { return GetEnumType<E>()->GetArrayType(); }
  Any* _Clone() const override { return CloneEnumArray(*this, sizeof(Array), &ConstructValue<Array>); }
  bool _IsEqual(const Any* other, bool flag) const override { return presentation_->Array<int>::_IsEqual(other, flag); }
  // The int array's difference, through a jump of this library's own.
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override {
    DiffWhole(*this, other, path, diffs);
  }
  void _Print(Printer& out) const override { PrintEnumArray(out, GetEnumType<E>(), presentation_->GetValues()); }

 private:
  Array<int>* const presentation_ = this;
};

// The functions of E's set that depend on E alone.
template <Enumeration E>
struct EnumFunctions {
  static int UnboxValue(const Any* value);
  static Any* BoxValue(int index);
  static Any* CreateArray();
};

// The conversions between an array of E and its tags, the same for every E:
// they are handed E's type object, which knows E's array class and makes its
// arrays.
ZAMLI_EXPORT void EnumArrayToTags(const Any* array, const EnumType* type, Haldun::Ref<Array<std::string>>& tags);
ZAMLI_EXPORT Any* EnumArrayFromTags(const Array<std::string>* tags, const EnumType* type);

// E's type object, made from its record and its functions.
template <Enumeration E>
EnumType* CreateEnumType(const EnumTypeInfo* info);

// A type object from an enumeration's record and the functions that depend
// on it; the shared conversions are filled in here, once for every E.
ZAMLI_EXPORT EnumType* NewEnumType(const EnumTypeInfo* info, int (*unboxValue)(const Any*), Any* (*boxValue)(int),
                                   Any* (*createArray)());

// E's registered type object; Haldun::InvalidStateException naming E when
// its library has not registered it.
ZAMLI_EXPORT const EnumType& RequireEnumType(const EnumType* type, const std::type_info& cls);

// The tag of a value (an index outside the enumeration: Haldun::OutOfRangeException).
template <Enumeration E>
const std::string& TagOf(E value) {
  return RequireEnumType(GetEnumType<E>(), typeid(E)).GetTag(static_cast<int>(value));
}

// The value of a tag; an unknown tag is Haldun::NotFoundException, whose
// message names the tag and the enumeration.
template <Enumeration E>
E EnumFromTag(std::string_view tag) {
  return static_cast<E>(RequireEnumType(GetEnumType<E>(), typeid(E)).GetValue(std::string(tag)));
}

}  // namespace Zamli
