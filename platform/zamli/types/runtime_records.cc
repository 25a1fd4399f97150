// Records of the runtime's own namespace, "kettar": the primitives and the
// roots of the data, fault and managed type trees.
#include <zamli/types/primitive_records.h>
#include <zamli/types/runtime_records.h>
#include <zamli/values/method_fault.h>

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
// An array of values of any type: not a data object, so not of the data kind.
const Zamli::TypeInfo gKettarDynamicArrayTypeInfo = {Zamli::kPrimitiveKind, "kettar.DynamicArray", "DynamicArray",
                                                     "kettar.version.version0"};
const Zamli::TypeInfo gKettarKeyAnyValueTypeInfo = {Zamli::kDataKind, "kettar.KeyAnyValue", "KeyAnyValue",
                                                    "kettar.version.version0"};
const Zamli::TypeInfo gKettarLocalizableMessageTypeInfo = {Zamli::kDataKind, "kettar.LocalizableMessage",
                                                           "LocalizableMessage", "kettar.version.version1"};
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

bool NothingToTest(const DynamicData*, int) { return true; }
DataArrayBase* CreateDynamicDataArray() { return new DataArray<DynamicData>(); }
// The root is abstract: there are no instances, but arrays of any data object.
const DataTypeInfo kDynamicData = {&gKettarDynamicDataTypeInfo,
                                   nullptr,
                                   kNoProperties,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   &NothingToTest,
                                   nullptr,
                                   nullptr,
                                   &CreateDynamicDataArray,
                                   nullptr};
const PropertyInfo kMethodFaultProperties[] = {
    {&gKettarMethodFaultTypeInfo, kOptionalFlag, "faultCause", nullptr, "kettar.version.version0"},
    {&gKettarLocalizableMessageTypeInfo, kArrayFlag | kOptionalFlag, "faultMessage", nullptr,
     "kettar.version.version1"},
    {}};
const PropertyInfo kKeyAnyValueProperties[] = {{&gStringTypeInfo, 0, "key", nullptr, "kettar.version.version0"},
                                               {&gAnyTypeInfo, 0, "value", nullptr, "kettar.version.version0"},
                                               {}};
const PropertyInfo kLocalizableMessageProperties[] = {
    {&gStringTypeInfo, 0, "key", nullptr, "kettar.version.version1"},
    {&gKettarKeyAnyValueTypeInfo, kArrayFlag | kOptionalFlag, "arg", nullptr, "kettar.version.version1"},
    {&gStringTypeInfo, kOptionalFlag, "message", nullptr, "kettar.version.version1"},
    {}};
const ManagedTypeInfo kManagedObject = {
    &gKettarManagedObjectTypeInfo, nullptr, kNoProperties, kNoMethods, nullptr, nullptr, nullptr, managedObjectMethods};
const KettarVersions kNamespace = {"kettar",
                                   &namespaceId,
                                   kNoNamespaces,
                                   nullptr,
                                   kVersions,
                                   kParents,
                                   officialVersions,
                                   internalVersions,
                                   &rcVersion,
                                   3,
                                   3,
                                   2,
                                   0,
                                   nullptr,
                                   2,
                                   -1,
                                   nullptr,
                                   nullptr,
                                   nullptr};
const TypeInfo* const kPrimitives[] = {&gStringTypeInfo, &gBoolTypeInfo,  &gIntTypeInfo,
                                       &gLongTypeInfo,   &gFloatTypeInfo, &gDateTimeTypeInfo,
                                       &gBinaryTypeInfo, &gAnyTypeInfo,   &gKettarDynamicArrayTypeInfo};
const char* const kPrimitiveClasses[] = {"std::string",
                                         "bool",
                                         "int",
                                         "long",
                                         "float",
                                         "Haldun::System::DateTime",
                                         "std::vector<unsigned char>",
                                         "Zamli::Any",
                                         "Zamli::DynamicArray"};

}  // namespace Zamli::RuntimeTypes
