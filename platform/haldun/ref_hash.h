#pragma once
// Hashing of references by the object they hold, for unordered containers;
// apart from ref.h so that holding a reference costs no <functional>.
#include <haldun/ref.h>

#include <functional>

template <class T>
struct std::hash<Haldun::Ref<T>> {
  size_t operator()(const Haldun::Ref<T>& ref) const noexcept { return std::hash<T*>()(ref.Get()); }
};
