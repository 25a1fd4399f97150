#pragma once
// How a value is declared, and so how it is stored: the one classification
// that the type objects keep per property, that generic code, both encodings
// and the field tables of generated classes go by.
#include <zamli/types/records.h>

namespace Zamli {

enum class ValueKind : unsigned char {
  kString,        // std::string / Haldun::Optional<std::string>
  kBool,          // bool / Haldun::Optional<bool> (whose address is its signed byte)
  kInt,           // int
  kLong,          // long
  kFloat,         // float
  kDateTime,      // Haldun::System::DateTime
  kBinary,        // std::vector<unsigned char>
  kAny,           // anyType: the value names its class
  kMoRef,         // a reference to a managed object of any type
  kData,          // a data object or fault of the declared type or a class derived from it
  kEnum,          // a value of the declared enumeration
  kDynamicArray,  // kettar.DynamicArray: a sequence of anyType values
};

// Primitives are stored in place; every other kind, and every array, is
// stored as a Haldun::Ref to its value.
constexpr bool IsPrimitive(ValueKind kind) { return kind <= ValueKind::kBinary; }

// The kind of a value declared with the type record `type` (a property's,
// a parameter's or a result's).
ZAMLI_EXPORT ValueKind ValueKindOf(const TypeInfo* type);

}  // namespace Zamli
