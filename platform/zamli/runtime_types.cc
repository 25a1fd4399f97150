// Records of the runtime's own namespace, "kettar": the primitives and the
// roots of the data, fault and managed type trees.
#include <zamli/runtime_types.h>

#include <zamli/primitive_types.h>

namespace Zamli {

const TypeInfo gStringTypeInfo = {kPrimitiveKind, "string", "string", "kettar.version.version0"};
const TypeInfo gBoolTypeInfo = {kPrimitiveKind, "boolean", "boolean", "kettar.version.version0"};
const TypeInfo gIntTypeInfo = {kPrimitiveKind, "int", "int", "kettar.version.version0"};
const TypeInfo gLongTypeInfo = {kPrimitiveKind, "long", "long", "kettar.version.version0"};
const TypeInfo gFloatTypeInfo = {kPrimitiveKind, "float", "float", "kettar.version.version0"};
const TypeInfo gDateTimeTypeInfo = {kPrimitiveKind, "dateTime", "dateTime", "kettar.version.version0"};
const TypeInfo gBinaryTypeInfo = {kPrimitiveKind, "binary", "base64Binary", "kettar.version.version0"};
const TypeInfo gAnyTypeInfo = {kPrimitiveKind, "anyType", "anyType", "kettar.version.version0"};
const TypeInfo gKettarMethodFaultTypeInfo = {kFaultKind, "kettar.MethodFault", "MethodFault",
                                             "kettar.version.version0"};
const TypeInfo gKettarManagedObjectTypeInfo = {kManagedKind, "kettar.ManagedObject", "ManagedObject",
                                               "kettar.version.version0"};

}  // namespace Zamli

extern "C" {
const Zamli::TypeInfo gKettarDynamicDataTypeInfo = {Zamli::kDataKind, "kettar.DynamicData", "DynamicData",
                                                   "kettar.version.version0"};
}

namespace Zamli::RuntimeTypes {
namespace {
const PropertyInfo kNoProperties[] = {{}};
const MethodInfo kNoMethods[] = {{}};
ManagedMethod* managedObjectMethods[1] = {};
const char* const kNoNamespaces[] = {nullptr};
const VersionInfo kVersions[] = {
    {"kettar.version.version1", "kettar", "1.1", 0, "qor.Task", "kettar", nullptr},
    {"kettar.query.version.version1", "kettar", "query 1.0", 0, "qor.Task", "kettar", nullptr},
    {"kettar.version.version0", "kettar", "1.0", 0, "qor.Task", "kettar", nullptr},
};
const VersionParent kParents[] = {
    {"kettar.query.version.version1", "kettar.version.version0"},
    {"kettar.version.version1", "kettar.version.version0"},
};
int namespaceId = 0;
Version* officialVersions[3] = {};
Version* internalVersions[3] = {};
Version* rcVersion = nullptr;
}  // namespace

const DataTypeInfo kDynamicData = {&gKettarDynamicDataTypeInfo, nullptr, kNoProperties, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const DataTypeInfo kMethodFault = {&gKettarMethodFaultTypeInfo, &gKettarDynamicDataTypeInfo, kNoProperties, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const ManagedTypeInfo kManagedObject = {&gKettarManagedObjectTypeInfo, nullptr, kNoProperties, kNoMethods,
                                        nullptr, nullptr, nullptr, managedObjectMethods};
const KettarVersions kNamespace = {"kettar", &namespaceId, kNoNamespaces, nullptr, kVersions, kParents,
                                   officialVersions, internalVersions, &rcVersion, 3, 3, 2, 0, nullptr, 2, -1,
                                   nullptr, nullptr, nullptr};
const TypeInfo* const kPrimitives[] = {&gStringTypeInfo, &gBoolTypeInfo,     &gIntTypeInfo,    &gLongTypeInfo,
                                       &gFloatTypeInfo,  &gDateTimeTypeInfo, &gBinaryTypeInfo, &gAnyTypeInfo};
const char* const kPrimitiveClasses[] = {"std::string", "bool", "int", "long", "float",
                                         "Haldun::System::DateTime", "std::vector<unsigned char>", "Zamli::Any"};

}  // namespace Zamli::RuntimeTypes
