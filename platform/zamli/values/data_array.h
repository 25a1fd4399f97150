#pragma once
// Arrays of data objects (and of managed object references).
#include <haldun/ref.h>
#include <zamli/types/accessors.h>
#include <zamli/types/type.h>
#include <zamli/values/collection.h>
#include <zamli/values/element_iterator.h>
#include <zamli/values/narrow.h>

#include <type_traits>
#include <typeinfo>
#include <vector>

namespace Zamli {

class MoRef;

// Elements are held as counted references; an element may be null.
class ZAMLI_EXPORT DataArrayBase : public Collection {
 public:
  DataArrayBase() = default;
  // A new array of clones of the elements: copying a data object that holds
  // the array copies the array deeply, as it does every nested object.
  DataArrayBase(const DataArrayBase& other);
  ~DataArrayBase() override;

  int GetCollectionLength() const override { return static_cast<int>(elements_.size()); }
  size_t GetLength() const { return elements_.size(); }
  size_t size() const { return elements_.size(); }
  bool empty() const { return elements_.empty(); }
  const std::vector<Haldun::Ref<Any>>& GetElements() const { return elements_; }
  // Untyped append, for code that builds arrays through the records; the
  // element must be of the item type (typed arrays check this).
  virtual void AppendAny(Any* element);
  void Clear() { elements_.clear(); }
  void Reserve(size_t n) { elements_.reserve(n); }
  virtual Type* _GetItemType() const = 0;
  // The array type of the item type.
  Type* _GetType() const override;
  // Appends without a class test: what typed arrays call after theirs.
  void Push(Any* element);
  // Appends an element of class `item` (or derived from it); any other class
  // is the runtime's type-mismatch error. The same for every typed array, so
  // each has only a call here.
  void PushOfClass(Any* element, const std::type_info& item);
  // A copy of this array in a new block of `size` bytes, where `construct`
  // makes an empty array of this class: what every array's _Clone is, one
  // jump, as the copy constructor of a typed array has work after its base's.
  Any* CloneAs(std::size_t size, Any* (*construct)(void* block) noexcept) const;

  bool _IsEqual(const Any* other, bool flag) const override;
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  void _Print(Printer& out) const override;

 protected:
  std::vector<Haldun::Ref<Any>> elements_;

 private:
  // Copies of `from`'s elements, in storage this thread released if it can.
  void CopyElementsOf(const DataArrayBase& from);
};

// A typed view of the shared implementation above: only the item type and
// the class test of an appended element depend on T. Header-only and never
// exported: each library instantiates the arrays it uses.
template <class T>
class DataArray : public DataArrayBase {
  struct AsElement {
    T* operator()(const Haldun::Ref<Any>& element) const { return static_cast<T*>(element.Get()); }
  };

 public:
  using iterator = ElementIterator<std::vector<Haldun::Ref<Any>>::const_iterator, AsElement>;
  using const_iterator = iterator;

  DataArray() = default;
  DataArray(const DataArray& other) = default;

  T* Get(size_t index) const { return static_cast<T*>(elements_.at(index).Get()); }
  T* operator[](size_t index) const { return static_cast<T*>(elements_[index].Get()); }
  iterator begin() const { return iterator(elements_.begin()); }
  iterator end() const { return iterator(elements_.end()); }
  void Append(T* element) { Push(element); }
  void Append(const Haldun::Ref<T>& element) { Push(element.Get()); }
  void AppendAny(Any* element) override { PushOfClass(element, typeid(T)); }

  Type* _GetItemType() const override {
    if constexpr (std::is_same_v<T, MoRef>) {
      return GetNoType<MoRef>();
    } else {
      return GetDoType<T>();
    }
  }
  Any* _Clone() const override { return CloneAs(sizeof(DataArray), &ConstructValue<DataArray>); }

  // The shared implementations, reached through a jump of this library's
  // own: a slot naming the runtime's function costs the loader a symbol
  // lookup and more bytes than the jump. (Not ToString: returning a string
  // through the caller's memory, it is no jump.)
  Type* _GetType() const override { return DataArrayBase::_GetType(); }
  bool _IsEqual(const Any* other, bool flag) const override { return DataArrayBase::_IsEqual(other, flag); }
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override {
    DataArrayBase::_DiffProperties(other, path, diffs);
  }
  void _Print(Printer& out) const override { DataArrayBase::_Print(out); }
};

// An array whose elements are not tied to one type (kettar.DynamicArray).
class ZAMLI_EXPORT DynamicArray : public DataArrayBase {
 public:
  DynamicArray() = default;
  DynamicArray(const DynamicArray& other) = default;
  Type* _GetType() const override;
  Type* _GetItemType() const override;
  Any* _Clone() const override { return CloneAs(sizeof(DynamicArray), &ConstructValue<DynamicArray>); }
};

}  // namespace Zamli
