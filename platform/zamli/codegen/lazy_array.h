#pragma once
// The lazily created array of an array property: exactly one array is
// installed even when several threads ask at once. Inline, so that the
// generated getters need no exported symbol of their own.
#include <haldun/ref.h>
#include <zamli/types/accessors.h>
#include <zamli/types/type.h>
#include <zamli/values/data_array.h>

#include <type_traits>

namespace Zamli {

template <class A>
A* LazyArray(Haldun::Ref<A>& field) {
  if (A* existing = field.LoadAcquire()) return existing;
  return field.InstallIfNull(new A());
}

// A data array is made by its item type's record, in the library that
// defines the item class, so that the getter needs only its declaration.
template <class T>
DataArray<T>* LazyDataArray(Haldun::Ref<DataArray<T>>& field) {
  if (DataArray<T>* existing = field.LoadAcquire()) return existing;
  if constexpr (std::is_same_v<T, MoRef>) {
    return field.InstallIfNull(new DataArray<T>());
  } else {
    return field.InstallIfNull(static_cast<DataArray<T>*>(GetDoType<T>()->GetDataTypeInfo()->createArray()));
  }
}

}  // namespace Zamli
