#pragma once
// How a property's value is stored, read from its record: what generic code
// (printing, the generic difference, fillers, encoders) needs to interpret
// the addresses that the record functions hand out.
#include <zamli/types/primitive_records.h>

namespace Zamli {

enum class FieldKind {
  kString,     // std::string / Haldun::Optional<std::string>
  kBool,       // bool / Haldun::Optional<bool> (address of the signed byte)
  kInt,        // int
  kLong,       // long
  kFloat,      // float
  kDateTime,   // Haldun::System::DateTime
  kBinary,     // std::vector<unsigned char>
  kReference,  // Haldun::Ref to a data object, MoRef, Any or DynamicArray
  kArray,      // Haldun::Ref to an array
};

inline FieldKind KindOf(const PropertyInfo& p) {
  if (p.flags & kArrayFlag) return FieldKind::kArray;
  const TypeInfo* t = p.type;
  if (t == &gStringTypeInfo) return FieldKind::kString;
  if (t == &gBoolTypeInfo) return FieldKind::kBool;
  if (t == &gIntTypeInfo) return FieldKind::kInt;
  if (t == &gLongTypeInfo) return FieldKind::kLong;
  if (t == &gFloatTypeInfo) return FieldKind::kFloat;
  if (t == &gDateTimeTypeInfo) return FieldKind::kDateTime;
  if (t == &gBinaryTypeInfo) return FieldKind::kBinary;
  return FieldKind::kReference;
}

// True when getPropertyAddr of an optional boolean hands out its signed byte.
inline bool IsOptionalBool(const PropertyInfo& p) { return p.type == &gBoolTypeInfo && (p.flags & kOptionalFlag); }

}  // namespace Zamli
