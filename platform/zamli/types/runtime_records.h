#pragma once
// The runtime's own records, registered when the registry is first used.
#include <zamli/types/records.h>

namespace Zamli {
struct FieldTable;
}

namespace Zamli::RuntimeTypes {
extern const DataTypeInfo kDynamicData;
extern const DataTypeInfo kMethodFault;
extern const DataTypeInfo kKeyAnyValue;
extern const DataTypeInfo kLocalizableMessage;
// Their classes' field tables.
extern const FieldTable* const kMethodFaultFields;
extern const FieldTable* const kKeyAnyValueFields;
extern const FieldTable* const kLocalizableMessageFields;
extern const PropertyInfo kMethodFaultProperties[];
extern const PropertyInfo kKeyAnyValueProperties[];
extern const PropertyInfo kLocalizableMessageProperties[];
extern const ManagedTypeInfo kManagedObject;
extern const KettarVersions kNamespace;
// The primitives and the untyped array, with their C++ classes.
constexpr int kPrimitiveCount = 9;
extern const TypeInfo* const kPrimitives[kPrimitiveCount];
extern const char* const kPrimitiveClasses[kPrimitiveCount];
}  // namespace Zamli::RuntimeTypes
