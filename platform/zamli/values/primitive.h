#pragma once
// One boxed value. Boxes never change after creation, so any number of
// holders may share one: cloning a box answers with the box itself.
#include <haldun/date_time.h>
#include <haldun/ref.h>
#include <zamli/types/accessors.h>
#include <zamli/types/type.h>
#include <zamli/values/any.h>

#include <string>
#include <vector>

namespace Zamli {

template <class T>
class Primitive : public Any {
 public:
  explicit Primitive(T value) : value_(std::move(value)) {}
  const T& GetValue() const { return value_; }

  Type* _GetType() const override { return GetNoType<T>(); }
  Any* _Clone() const override { return const_cast<Primitive*>(this); }
  // `other` must be a box of the same class: anything else is a type mismatch.
  bool _IsEqual(const Any* other, bool flag) const override;
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  void _Print(Printer& out) const override;

 private:
  const T value_;
};

// Booleans are never boxed anew: there are two shared boxes.
template <>
class ZAMLI_EXPORT Primitive<bool> : public Any {
 public:
  struct ZAMLI_EXPORT Factory {
    static Primitive<bool>* const sTrue;
    static Primitive<bool>* const sFalse;
    static Haldun::Ref<Primitive<bool>> Box(bool value) { return Haldun::Ref<Primitive<bool>>(value ? sTrue : sFalse); }
  };
  bool GetValue() const { return value_; }

  Type* _GetType() const override;
  Any* _Clone() const override { return const_cast<Primitive*>(this); }
  bool _IsEqual(const Any* other, bool flag) const override;
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  void _Print(Printer& out) const override;

 private:
  explicit Primitive(bool value) : value_(value) {}
  friend struct Factory;
  friend Primitive<bool>* MakeSharedBox(bool);
  const bool value_;
};

using Binary = std::vector<unsigned char>;

extern template class ZAMLI_EXPORT Primitive<int>;
extern template class ZAMLI_EXPORT Primitive<long>;
extern template class ZAMLI_EXPORT Primitive<float>;
extern template class ZAMLI_EXPORT Primitive<std::string>;
extern template class ZAMLI_EXPORT Primitive<Haldun::System::DateTime>;
extern template class ZAMLI_EXPORT Primitive<Binary>;

// A new box holding a copy of the value (booleans: a shared box).
template <class T>
Haldun::Ref<Any> Box(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    return Haldun::Ref<Any>(Primitive<bool>::Factory::Box(value));
  } else {
    return Haldun::Ref<Any>(new Primitive<T>(value));
  }
}

}  // namespace Zamli
