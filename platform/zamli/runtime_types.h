#pragma once
// The runtime's own records, registered when the registry is first used.
#include <zamli/records.h>

namespace Zamli::RuntimeTypes {
extern const DataTypeInfo kDynamicData;
extern const DataTypeInfo kMethodFault;
extern const ManagedTypeInfo kManagedObject;
extern const KettarVersions kNamespace;
extern const TypeInfo* const kPrimitives[8];
extern const char* const kPrimitiveClasses[8];
}  // namespace Zamli::RuntimeTypes
