#pragma once
// Typed accessors of the registered type objects. Each type library defines
// one specialization per type; before registration they return null.
#include <zamli/export.h>

namespace Zamli {
class Type;
class DataObjectType;
class EnumType;
class ManagedObjectType;

template <class T>
DataObjectType* GetDoType();
template <class E>
EnumType* GetEnumType();
template <class T>
ManagedObjectType* GetMoType();

// The runtime's own value types: int, long, float, bool, std::string,
// Haldun::System::DateTime, std::vector<unsigned char>, Zamli::MoRef (any
// managed object) and Zamli::Any.
template <class T>
ZAMLI_EXPORT Type* GetNoType();
}  // namespace Zamli
