#include <zamli/values/narrow.h>
#include <zamli/values/primitive.h>
#include <zamli/values/printer.h>

namespace Zamli {

namespace {
template <class T>
bool SameValue(const T& a, const T& b) {
  return a == b;  // floats: NaN never equals, -0 equals 0; date-times: the same instant
}
}  // namespace

template <class T>
bool Primitive<T>::_IsEqual(const Any* other, bool) const {
  return SameValue(value_, NarrowTo<Primitive<T>>(other)->value_);
}

template <class T>
void Primitive<T>::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  if (!_IsEqual(other, false)) diffs.AddChanged(path);
}

template <class T>
void Primitive<T>::_Print(Printer& out) const {
  if constexpr (std::is_same_v<T, std::string>) {
    out.Quoted(value_);
  } else if constexpr (std::is_same_v<T, float>) {
    out.Float(value_);
  } else if constexpr (std::is_same_v<T, Haldun::System::DateTime>) {
    out.DateTime(value_);
  } else if constexpr (std::is_same_v<T, Binary>) {
    out.Binary(value_);
  } else {
    out.Int(value_);
  }
}

template class Primitive<int>;
template class Primitive<long>;
template class Primitive<float>;
template class Primitive<std::string>;
template class Primitive<Haldun::System::DateTime>;
template class Primitive<Binary>;

Primitive<bool>* MakeSharedBox(bool value) {
  auto* box = new Primitive<bool>(value);
  box->IncRef();  // held for the life of the process
  return box;
}

Primitive<bool>* const Primitive<bool>::Factory::sTrue = MakeSharedBox(true);
Primitive<bool>* const Primitive<bool>::Factory::sFalse = MakeSharedBox(false);

Type* Primitive<bool>::_GetType() const { return GetNoType<bool>(); }

bool Primitive<bool>::_IsEqual(const Any* other, bool) const {
  return value_ == NarrowTo<Primitive<bool>>(other)->value_;
}

void Primitive<bool>::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  if (!_IsEqual(other, false)) diffs.AddChanged(path);
}

void Primitive<bool>::_Print(Printer& out) const { out.Bool(value_); }

}  // namespace Zamli
