#pragma once
#include <haldun/exception.h>
#include <zamli/values/any.h>

#include <typeinfo>

namespace Zamli {

// The value as a T, if it is one (or derives from one); null stays null; any
// other class is the runtime's type-mismatch error, naming both classes.
template <class T>
T* NarrowTo(Any* value) {
  if (value == nullptr) return nullptr;
  if (auto* typed = dynamic_cast<T*>(value)) return typed;
  Haldun::ThrowTypeMismatchException(typeid(T), typeid(*value));
}

template <class T>
const T* NarrowTo(const Any* value) {
  return NarrowTo<T>(const_cast<Any*>(value));
}

}  // namespace Zamli
