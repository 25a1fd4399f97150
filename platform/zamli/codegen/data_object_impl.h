#pragma once
// What every data class does, written once and driven by the class's field
// table (DataTraits<T>): copying, comparison and the record functions. A type library includes this only where it
// defines its classes.
#include <zamli/codegen/data_functions.h>
#include <zamli/codegen/field_table.h>
#include <zamli/codegen/lazy_array.h>
#include <zamli/values/compare.h>
#include <zamli/values/method_fault.h>

#include <cstddef>

namespace Zamli {

// Specialized for each data class T:
//   using Base = <T's base class>;
//   static constexpr FieldTable kTable = {<entries, made with ZAMLI_FIELD>, <count>, <own property records>};
template <class T>
struct DataTraits;

template <class T>
struct DataObjectOps {
  using Traits = DataTraits<T>;
  using Base = typename Traits::Base;

  static void CopyFields(T& to, const T& from) {
    Zamli::CopyFields(Traits::kTable.fields, Traits::kTable.count, &to, &from);
  }

  // Base-class properties first; the first mismatch decides.
  static bool IsEqual(const T& a, const Any* other, bool flag) {
    if constexpr (!std::is_same_v<Base, DynamicData>) {
      return EqualBaseAndFields(Traits::kTable, &a, other, flag, &BaseEqual);
    } else {
      return EqualFields(Traits::kTable, &a, static_cast<const T*>(other), flag);
    }
  }
  static bool BaseEqual(const Any* a, const Any* other, bool flag) {
    return static_cast<const T*>(a)->Base::_IsEqual(other, flag);
  }

  // Data objects and faults differ the same way: through the descriptors.
  static void Diff(const T& a, const Any* other, const std::string& path, PropertyDiffSet& diffs) {
    a.DynamicData::_DiffProperties(other, path, diffs);
  }
};

template <class T>
void DataFunctions<T>::GetProperty(DynamicData* obj, int index, void* out) {
  FieldGet(DataTraits<T>::kTable, static_cast<T*>(obj), index, out);
}
template <class T>
const void* DataFunctions<T>::GetPropertyAddr(DynamicData* obj, int index) {
  return FieldAddr(DataTraits<T>::kTable, static_cast<T*>(obj), index);
}
template <class T>
void DataFunctions<T>::SetProperty(DynamicData* obj, int index, const void* in) {
  FieldSet(DataTraits<T>::kTable, static_cast<T*>(obj), index, in);
}
template <class T>
void DataFunctions<T>::SwapProperty(DynamicData* obj, int index, void* other) {
  FieldSwap(DataTraits<T>::kTable, static_cast<T*>(obj), index, other);
}
template <class T>
bool DataFunctions<T>::IsPropertySet(const DynamicData* obj, int index) {
  return FieldIsSet(DataTraits<T>::kTable, static_cast<const T*>(obj), index);
}
template <class T>
void DataFunctions<T>::UnsetProperty(DynamicData* obj, int index) {
  FieldUnset(DataTraits<T>::kTable, static_cast<T*>(obj), index);
}
template <class T>
DynamicData* DataFunctions<T>::CreateInstance() {
  return static_cast<DynamicData*>(MakeValue<T>());
}
template <class T>
DataArrayBase* DataFunctions<T>::CreateArray() {
  return static_cast<DataArrayBase*>(MakeValue<DataArray<T>>());
}

}  // namespace Zamli

// One entry of a class's field table. The classes are not standard-layout
// (they have virtual functions), but single, non-virtual inheritance gives
// every member a fixed offset, which both compilers compute.
#define ZAMLI_FIELD(Class, member) ::Zamli::MakeField<decltype(Class::member)>(offsetof(Class, member))

// The members every data class defines; `Class` is fully qualified, `Leaf`
// its last component. Data classes that declare their own difference define
// it with ZAMLI_DEFINE_DATA_DIFF; it is DynamicData's, which faults inherit.
#define ZAMLI_DEFINE_DATA_OBJECT(Class, Leaf)                                                  \
  Class::Leaf() = default;                                                                     \
  Class::Leaf(const Class& other) : ::Zamli::DataTraits<Class>::Base(other) {                  \
    ::Zamli::DataObjectOps<Class>::CopyFields(*this, other);                                   \
  }                                                                                            \
  Class::~Leaf() = default;                                                                    \
  ::Zamli::Type* Class::_GetType() const { return ::Zamli::GetDoType<Class>(); }               \
  ::Zamli::DataObjectType* Class::_GetDataType() const { return ::Zamli::GetDoType<Class>(); } \
  ::Zamli::Any* Class::_Clone() const {                                                        \
    return ::Zamli::CopyValue(sizeof(Class), &::Zamli::CopyInto<Class>, *this);                \
  }                                                                                            \
  bool Class::_IsEqual(const ::Zamli::Any* other, bool flag) const {                           \
    return ::Zamli::DataObjectOps<Class>::IsEqual(*this, other, flag);                         \
  }

// What a generated class defines out of line: its copy and its comparison,
// which walk its field table. The rest is inline in its header, so that it
// exports no more than these, its vtable and its typeinfo.
#define ZAMLI_DEFINE_DATA_CLASS(Class, Leaf)                                  \
  Class::Leaf(const Class& other) : ::Zamli::DataTraits<Class>::Base(other) { \
    ::Zamli::DataObjectOps<Class>::CopyFields(*this, other);                  \
  }                                                                           \
  bool Class::_IsEqual(const ::Zamli::Any* other, bool flag) const {          \
    return ::Zamli::DataObjectOps<Class>::IsEqual(*this, other, flag);        \
  }

// Also out of line for a class whose header only declares the classes its
// fields hold: constructing and destroying them needs them complete.
#define ZAMLI_DEFINE_DATA_LIFETIME(Class, Leaf) \
  Class::Leaf() = default;                      \
  Class::~Leaf() = default;
// The same for a class whose construction cannot throw.
#define ZAMLI_DEFINE_NOTHROW_DATA_LIFETIME(Class, Leaf) \
  Class::Leaf() noexcept = default;                     \
  Class::~Leaf() = default;

#define ZAMLI_DEFINE_DATA_DIFF(Class)                                                                              \
  void Class::_DiffProperties(const ::Zamli::Any* other, const std::string& path, ::Zamli::PropertyDiffSet& diffs) \
      const {                                                                                                      \
    ::Zamli::DataObjectOps<Class>::Diff(*this, other, path, diffs);                                                \
  }

// The fault operations of a fault class: raise or make its own exception.
#define ZAMLI_DEFINE_FAULT(Class)                                     \
  void Class::ThrowInternal() const { throw Class::Exception(this); } \
  ::Zamli::MethodFault::Exception* Class::CreateException() const { return new Class::Exception(this); }
