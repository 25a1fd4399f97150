#pragma once
// What the decoder reads of a data type at a version, worked out once per
// pair: its properties' names, ready to compare, whether the version
// includes each, and which must be given.
#include <zamli/wire/plans.h>
#include <zamli/wire/value_model.h>

#include <cstdint>
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
      if (properties[i].name == name) return i;
    }
    for (size_t i = 0; i < hint && i < n; ++i) {
      if (properties[i].name == name) return i;
    }
    return n;
  }

  static std::unique_ptr<DecodePlan> Make(const DataObjectType& type, const VersionFilter& versions);
};

using DecodePlans = Plans<DecodePlan>;

}  // namespace Zamli::Wire
