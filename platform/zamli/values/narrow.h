#pragma once
#include <haldun/exception.h>
#include <zamli/values/any.h>

#include <type_traits>
#include <typeinfo>

namespace Zamli {

// The part of `value` that is of class `cls`, searched for in its class
// tree; a value of no such class is the runtime's type-mismatch error.
ZAMLI_EXPORT void* FindClassIn(Any* value, const std::type_info& cls);

// The value as a T, if it is one (or derives from one); null stays null; any
// other class is the runtime's type-mismatch error, naming both classes.
template <class T>
T* NarrowTo(Any* value) {
  if (value == nullptr) return nullptr;
  // A value of T's very class needs no search of the class tree.
  if (&typeid(*value) == &typeid(T)) return static_cast<T*>(value);
  if constexpr (std::is_same_v<T, Any>) {
    return value;
  } else {
    // The search is the same for every T: once, out of line.
    return static_cast<T*>(FindClassIn(value, typeid(T)));
  }
}

template <class T>
const T* NarrowTo(const Any* value) {
  return NarrowTo<T>(const_cast<Any*>(value));
}

// True when both values are certainly of one class: they share its class
// record. False says nothing (a class may have a record in each library
// that uses it), so callers fall back to comparing the records' names.
inline bool SameClass(const Any* a, const Any* b) { return &typeid(*a) == &typeid(*b); }

// `value` as a T, or null, for a T `self`: a value of self's very class
// needs no search of the class tree.
template <class T>
const T* CastLike(const T* self, const Any* value) {
  if (value != nullptr && SameClass(self, value)) return static_cast<const T*>(value);
  return dynamic_cast<const T*>(value);
}

}  // namespace Zamli
