#pragma once
// Name records of what the runtime itself provides: the primitives and the
// roots of the data, fault and managed type trees.
#include <zamli/types/records.h>

namespace Zamli {
ZAMLI_EXPORT extern const TypeInfo gStringTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gBoolTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gIntTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gLongTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gFloatTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gDateTimeTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gBinaryTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gAnyTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gKettarMethodFaultTypeInfo;
ZAMLI_EXPORT extern const TypeInfo gKettarManagedObjectTypeInfo;
}  // namespace Zamli

extern "C" {
ZAMLI_EXPORT extern const Zamli::TypeInfo gKettarDynamicDataTypeInfo;
ZAMLI_EXPORT extern const Zamli::TypeInfo gKettarDynamicArrayTypeInfo;
ZAMLI_EXPORT extern const Zamli::TypeInfo gKettarKeyAnyValueTypeInfo;
ZAMLI_EXPORT extern const Zamli::TypeInfo gKettarLocalizableMessageTypeInfo;
}
