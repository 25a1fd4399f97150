#pragma once
// Descriptor records: the contract between a type library and the runtime.
// Plain structures, ordinary layout; field order and widths must not change.
#include <haldun/ref.h>
#include <zamli/export.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Zamli {

class Any;
class DynamicData;
class DataArrayBase;
class EnumType;
class ManagedObject;
class ManagedMethod;
class MoRef;
class StubAdapter;
class RequestContext;
class StubImpl;
class Version;
template <class T>
class Array;

enum TypeKind : int {
  kPrimitiveKind = 1,  // the runtime's own primitives
  kEnumKind = 15,
  kDataKind = 16,
  kFaultKind = 17,
  kManagedKind = 18,
};

// One per type; a type is identified by the address of its name record.
struct TypeInfo {
  int kind;
  const char* name;      // dotted interface name
  const char* wsdlName;  // name on the wire
  const char* version;   // version that introduced the type
};

enum PropertyFlags : uint32_t {
  kArrayFlag = 0x1,
  kOptionalFlag = 0x2,
  kManagedPropertyFlag = 0x4,
  kSecretFlag = 0x200,
};

// A property, parameter or method result. Tables end with an all-zero record.
struct PropertyInfo {
  const TypeInfo* type;
  uint32_t flags;
  const char* name;
  const char* privilege;
  const char* version;
};

struct DataTypeInfo {
  const TypeInfo* type;
  const TypeInfo* baseType;
  const PropertyInfo* properties;
  void (*getProperty)(DynamicData*, int index, void* out);
  const void* (*getPropertyAddr)(DynamicData*, int index);
  void (*setProperty)(DynamicData*, int index, const void* in);
  void (*swapProperty)(DynamicData*, int index, void* other);
  bool (*isPropertySet)(const DynamicData*, int index);
  void (*unsetProperty)(DynamicData*, int index);
  DynamicData* (*createInstance)();
  DataArrayBase* (*createArray)();
  const void* reserved;
};

struct EnumTypeInfo {
  const TypeInfo* typeInfo;
  const char* const* tags;  // ended by a null pointer
};

struct EnumFuncs {
  int (*UnboxValue)(const Any*);
  Any* (*BoxValue)(int);
  void (*ArrayToTags)(const Any* array, const EnumType*, Haldun::Ref<Array<std::string>>& tags);
  Any* (*ArrayFromTags)(const Array<std::string>* tags, const EnumType*);
  Any* (*CreateArray)();
};

using DispatchFunction = void (*)(ManagedObject*, int methodIndex, std::vector<Haldun::Ref<Any>>& args,
                                  Haldun::Ref<Any>& result);
using CreateStubFunction = StubImpl* (*)(MoRef*, StubAdapter*, RequestContext*);

// A method table ends with a record whose name is null.
struct MethodInfo {
  const char* name;
  const char* wsdlName;
  const char* privilege;  // "" for none, "dynamic", or ids separated by one blank
  const void* reserved1;
  PropertyInfo result;  // type null for no result
  const PropertyInfo* params;
  const TypeInfo* const* faults;  // ended by a null pointer
  const char* version;
  const void* reserved2;
  bool reserved3;
  bool isTask;
  bool auxFlag;
};

struct ManagedTypeInfo {
  const TypeInfo* typeInfo;
  const TypeInfo* baseTypeInfo;
  const PropertyInfo* properties;
  const MethodInfo* methods;
  int (*findProperty)(const char* name, int length);
  DispatchFunction dispatch;
  CreateStubFunction createStub;
  ManagedMethod** methodObjects;
};

struct VersionInfo {
  const char* name;
  const char* namespaceName;
  const char* label;
  int reserved1;
  const char* taskTypeName;
  const char* wireNamespace;
  const void* reserved2;
};

struct VersionParent {
  const char* version;
  const char* parent;
};

// A namespace and its versions, handed to the loader with the type list.
struct KettarVersions {
  const char* namespaceName;
  int* namespaceId;
  const char* const* requiredNamespaces;  // ended by a null pointer
  const void* reserved1;
  const VersionInfo* versions;  // newest first; no terminator, see versionCount
  const VersionParent* parents;
  Version** officialVersions;
  Version** internalVersions;
  Version** rcVersion;
  int versionCount;
  int versionSlotCount;
  int parentCount;
  int requiredNamespaceCount;
  const void* reserved2;
  int oldestVersionIndex;
  int reserved3;
  const void* reserved4;
  const void* reserved5;
  const void* reserved6;
};

}  // namespace Zamli
