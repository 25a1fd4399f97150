#pragma once
// Per-type accessors of the registered type objects. Each type library
// defines one specialization per type; before registration they return null.
#include <zamli/export.h>

namespace Zamli {
class DataObjectType;
class EnumType;
class ManagedObjectType;

template <class T>
DataObjectType* GetDoType();
template <class E>
EnumType* GetEnumType();
template <class T>
ManagedObjectType* GetMoType();
}  // namespace Zamli
