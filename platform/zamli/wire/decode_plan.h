#pragma once
// What the decoder reads of a data type at a version, worked out once per
// pair: its properties' names, ready to compare, whether the version
// includes each, and which must be given.
#include <zamli/wire/plans.h>
#include <zamli/wire/value_model.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

// True for a required property or parameter whose kind always has a value:
// decoding refuses a document without it.
bool IsRequiredValue(const PropertyInfo& info);

struct DecodedProperty {
  std::string_view name;
  const PropertyRef* property;
  bool included;  // false: refused when given
};

struct DecodePlan {
  std::vector<DecodedProperty> properties;  // in record order
  std::vector<size_t> required;             // those the version includes and a document must give
  // The same as bits, 64 properties to a word, to test against those given.
  std::vector<uint64_t> requiredBits;
  bool included = false;  // whether the version includes the type itself

  // The property named `name`, or properties.size(). Members mostly come in
  // record order, some left out: the search starts at `hint`, the one after
  // the last found.
  size_t Find(std::string_view name, size_t hint) const {
    const size_t n = properties.size();
    for (size_t i = hint; i < n; ++i) {
      if (SameName(properties[i].name, name)) return i;
    }
    for (size_t i = 0; i < hint && i < n; ++i) {
      if (SameName(properties[i].name, name)) return i;
    }
    return n;
  }

  // Names are short: compared here a word at a time, not through a call.
  static bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const char* p = a.data();
    const char* q = b.data();
    size_t n = a.size();
    for (; n >= 8; n -= 8, p += 8, q += 8) {
      uint64_t x, y;
      std::memcpy(&x, p, 8);
      std::memcpy(&y, q, 8);
      if (x != y) return false;
    }
    for (; n > 0; --n) {
      if (*p++ != *q++) return false;
    }
    return true;
  }

  static std::unique_ptr<DecodePlan> Make(const DataObjectType& type, const VersionFilter& versions);
};

using DecodePlans = Plans<DecodePlan>;

}  // namespace Zamli::Wire
