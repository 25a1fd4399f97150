#pragma once
// Arrays of plain values: int, long and string (enumeration arrays derive
// from the int array).
#include <zamli/types/accessors.h>
#include <zamli/types/type.h>
#include <zamli/values/collection.h>

#include <string>
#include <type_traits>
#include <vector>

namespace Zamli {

namespace Detail {
// The strings of a copy, in the storage of an array of as many strings that
// this thread released; and a released array's storage, kept for the next
// copies (values/kept_storage.h).
ZAMLI_EXPORT std::vector<std::string> CopyStrings(const std::vector<std::string>& from);
ZAMLI_EXPORT void KeepStrings(std::vector<std::string>& values) noexcept;
}  // namespace Detail

template <class T>
class Array : public Collection {
 public:
  Array() = default;
  explicit Array(std::vector<T> values) : values_(std::move(values)) {}
  Array(const Array& other) : Collection(other), values_(CopyOf(other.values_)) {}
  ~Array() override {
    if constexpr (std::is_same_v<T, std::string>) Detail::KeepStrings(values_);
  }

  int GetCollectionLength() const override { return static_cast<int>(values_.size()); }
  const std::vector<T>& GetValues() const { return values_; }
  std::vector<T>& GetValues() { return values_; }
  size_t GetLength() const { return values_.size(); }
  size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }
  const T& operator[](size_t index) const { return values_[index]; }
  typename std::vector<T>::const_iterator begin() const { return values_.begin(); }
  typename std::vector<T>::const_iterator end() const { return values_.end(); }
  void Append(T value) { values_.push_back(std::move(value)); }

  Type* _GetType() const override { return GetNoType<T>()->GetArrayType(); }
  Any* _Clone() const override { return new Array(*this); }
  // Equal to another array of the same family holding equal values in the
  // same order; anything else is unequal, without an error.
  bool _IsEqual(const Any* other, bool flag) const override;
  // The whole array is one difference.
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override {
    if (!this->_IsEqual(other, false)) diffs.AddChanged(path);
  }
  void _Print(Printer& out) const override;

 protected:
  std::vector<T> values_;

 private:
  static std::vector<T> CopyOf(const std::vector<T>& values) {
    if constexpr (std::is_same_v<T, std::string>) {
      return Detail::CopyStrings(values);
    } else {
      return values;
    }
  }
};

extern template class ZAMLI_EXPORT Array<int>;
extern template class ZAMLI_EXPORT Array<long>;
extern template class ZAMLI_EXPORT Array<std::string>;

}  // namespace Zamli
