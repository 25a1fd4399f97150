// The record layouts are a binary contract with every type library: field
// order and widths are checked at compile time, one row per field. Building
// this file is the check.
#include <zamli/types/records.h>

#include <cstddef>
#include <type_traits>

namespace {

struct Field {
  size_t offset;
  size_t expected;
};

#define FIELD(Record, member, expected) \
  Field { offsetof(Zamli::Record, member), expected }

// clang-format off
constexpr Field kFields[] = {
    FIELD(TypeInfo, kind, 0), FIELD(TypeInfo, name, 8), FIELD(TypeInfo, wsdlName, 16), FIELD(TypeInfo, version, 24),
    FIELD(PropertyInfo, type, 0), FIELD(PropertyInfo, flags, 8), FIELD(PropertyInfo, name, 16),
    FIELD(PropertyInfo, privilege, 24), FIELD(PropertyInfo, version, 32), FIELD(DataTypeInfo, type, 0),
    FIELD(DataTypeInfo, baseType, 8), FIELD(DataTypeInfo, properties, 16), FIELD(DataTypeInfo, getProperty, 24),
    FIELD(DataTypeInfo, getPropertyAddr, 32), FIELD(DataTypeInfo, setProperty, 40),
    FIELD(DataTypeInfo, swapProperty, 48), FIELD(DataTypeInfo, isPropertySet, 56),
    FIELD(DataTypeInfo, unsetProperty, 64), FIELD(DataTypeInfo, createInstance, 72),
    FIELD(DataTypeInfo, createArray, 80), FIELD(DataTypeInfo, reserved, 88), FIELD(EnumTypeInfo, typeInfo, 0),
    FIELD(EnumTypeInfo, tags, 8), FIELD(EnumFuncs, UnboxValue, 0), FIELD(EnumFuncs, BoxValue, 8),
    FIELD(EnumFuncs, ArrayToTags, 16), FIELD(EnumFuncs, ArrayFromTags, 24), FIELD(EnumFuncs, CreateArray, 32),
    FIELD(ManagedTypeInfo, typeInfo, 0), FIELD(ManagedTypeInfo, baseTypeInfo, 8),
    FIELD(ManagedTypeInfo, properties, 16), FIELD(ManagedTypeInfo, methods, 24),
    FIELD(ManagedTypeInfo, findProperty, 32), FIELD(ManagedTypeInfo, dispatch, 40),
    FIELD(ManagedTypeInfo, createStub, 48), FIELD(ManagedTypeInfo, methodObjects, 56), FIELD(MethodInfo, name, 0),
    FIELD(MethodInfo, wsdlName, 8), FIELD(MethodInfo, privilege, 16), FIELD(MethodInfo, reserved1, 24),
    FIELD(MethodInfo, result, 32), FIELD(MethodInfo, params, 72), FIELD(MethodInfo, faults, 80),
    FIELD(MethodInfo, version, 88), FIELD(MethodInfo, reserved2, 96), FIELD(MethodInfo, reserved3, 104),
    FIELD(MethodInfo, isTask, 105), FIELD(MethodInfo, auxFlag, 106), FIELD(VersionInfo, name, 0),
    FIELD(VersionInfo, namespaceName, 8), FIELD(VersionInfo, label, 16), FIELD(VersionInfo, reserved1, 24),
    FIELD(VersionInfo, taskTypeName, 32), FIELD(VersionInfo, wireNamespace, 40), FIELD(VersionInfo, reserved2, 48),
    FIELD(VersionParent, version, 0), FIELD(VersionParent, parent, 8), FIELD(KettarVersions, namespaceName, 0),
    FIELD(KettarVersions, namespaceId, 8), FIELD(KettarVersions, requiredNamespaces, 16),
    FIELD(KettarVersions, reserved1, 24), FIELD(KettarVersions, versions, 32), FIELD(KettarVersions, parents, 40),
    FIELD(KettarVersions, officialVersions, 48), FIELD(KettarVersions, internalVersions, 56),
    FIELD(KettarVersions, rcVersion, 64), FIELD(KettarVersions, versionCount, 72),
    FIELD(KettarVersions, versionSlotCount, 76), FIELD(KettarVersions, parentCount, 80),
    FIELD(KettarVersions, requiredNamespaceCount, 84), FIELD(KettarVersions, reserved2, 88),
    FIELD(KettarVersions, oldestVersionIndex, 96), FIELD(KettarVersions, reserved3, 100),
    FIELD(KettarVersions, reserved4, 104), FIELD(KettarVersions, reserved5, 112),
    FIELD(KettarVersions, reserved6, 120)
};
// clang-format on

constexpr bool AllAtExpectedOffsets() {
  for (const Field& f : kFields) {
    if (f.offset != f.expected) return false;
  }
  return true;
}
static_assert(AllAtExpectedOffsets(), "a record field moved; the list above names each field's place");

static_assert(sizeof(Zamli::TypeInfo) == 32 && sizeof(Zamli::PropertyInfo) == 40 && sizeof(Zamli::DataTypeInfo) == 96 &&
                  sizeof(Zamli::EnumTypeInfo) == 16 && sizeof(Zamli::EnumFuncs) == 40 &&
                  sizeof(Zamli::ManagedTypeInfo) == 64 && sizeof(Zamli::MethodInfo) == 112 &&
                  sizeof(Zamli::VersionInfo) == 56 && sizeof(Zamli::VersionParent) == 16 &&
                  sizeof(Zamli::KettarVersions) == 128,
              "a record changed size");
static_assert(std::is_standard_layout_v<Zamli::MethodInfo> && std::is_trivial_v<Zamli::MethodInfo>);
static_assert(std::is_standard_layout_v<Zamli::DataTypeInfo> && std::is_trivial_v<Zamli::DataTypeInfo>);

}  // namespace
