#include <zamli/values/array.h>
#include <zamli/values/narrow.h>
#include <zamli/values/printer.h>

#include <cstring>

namespace Zamli {

template <class T>
bool Array<T>::_IsEqual(const Any* other, bool) const {
  auto* array = CastLike<Array<T>>(this, other);
  if (array == nullptr || array->values_.size() != values_.size()) return false;
  if constexpr (std::is_integral_v<T>) {
    return values_.empty() || std::memcmp(values_.data(), array->values_.data(), values_.size() * sizeof(T)) == 0;
  } else {
    return values_ == array->values_;
  }
}

template <class T>
void Array<T>::_Print(Printer& out) const {
  out.Open(_GetType()->GetName(), '[');
  for (const T& v : values_) {
    out.Element();
    if constexpr (std::is_same_v<T, std::string>) {
      out.Quoted(v);
    } else {
      out.Int(v);
    }
    out.EndMember();
  }
  out.Close(']');
}

template class Array<int>;
template class Array<long>;
template class Array<std::string>;

}  // namespace Zamli
