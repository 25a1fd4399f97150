#pragma once
// What both encodings share: how a declaration classifies a value, which
// classes a version includes, and how type names on the wire resolve.
#include <zamli/types/records.h>
#include <zamli/types/type.h>
#include <zamli/types/value_kind.h>
#include <zamli/types/version.h>
#include <zamli/wire/errors.h>

#include <string_view>
#include <unordered_map>

namespace Zamli::Wire {

// The runtime's classification of values.
using ValueKind = Zamli::ValueKind;

// A declaration: a property, parameter or result record, or a type.
struct Declared {
  ValueKind kind = ValueKind::kAny;
  const Type* type = nullptr;  // kData and kEnum: the declared type
  bool array = false;
};

// From a record's type and flags; an unregistered type is a system error.
Declared DeclaredOf(const TypeInfo* type, bool array);
Declared DeclaredOf(const Type& type);
// As the property's descriptor keeps it.
Declared DeclaredOf(const PropertyRef& property);

// The kind of the primitive record, or false when `type` is none.
bool PrimitiveKindOf(const TypeInfo* type, ValueKind& kind);
// The wire names of primitives ("string", "int", "base64Binary", ...).
const char* PrimitiveWireName(ValueKind kind);
// The primitive with this wire name, or false.
bool PrimitiveByWireName(std::string_view name, ValueKind& kind);

// The name a managed object reference goes by inside anyType.
inline constexpr std::string_view kMoRefWireName = "ManagedObjectReference";
inline constexpr std::string_view kAnyWireName = "anyType";

// The name of an item of an array of `d` where items are named: its type's
// wire name ("string", "ManagedObjectReference", "anyType", "PelkHclDiskInfo").
std::string ItemWireName(const Declared& d);

// The item wire name of an array type name ("ArrayOfString" -> "string"),
// or empty when `name` is not one.
std::string_view ArrayItemName(std::string_view name);
// "ArrayOf" + the wire name with a capital first letter.
std::string ArrayWireName(std::string_view itemWireName);

// The wire's view of a version: which elements it includes. Answers are
// cached by the address of the version string, which records share.
class VersionFilter {
 public:
  explicit VersionFilter(const Version& version) : version_(version) {}
  bool Includes(const char* versionName) const;
  bool Includes(const Type& type) const;
  // The type itself, or its nearest base that the version includes; null
  // when there is none short of the abstract root, kettar.DynamicData.
  const DataObjectType* Downlevel(const DataObjectType* type) const;
  const Version& GetVersion() const { return version_; }

 private:
  const Version& version_;
  mutable std::unordered_map<const void*, bool> cache_;
  // Neighbouring records mostly share their version string.
  mutable const void* lastName_ = nullptr;
  mutable bool lastIncluded_ = false;
};

// A type found by wire name, for a value whose class is named on the wire.
const Type* FindWireType(std::string_view name);

// References name their type by interface name in memory and by wire name
// on the wire; a name that is no managed type's travels as it is.
std::string_view ReferenceWireName(std::string_view typeName);
std::string_view ReferenceTypeName(std::string_view wireName);

}  // namespace Zamli::Wire
