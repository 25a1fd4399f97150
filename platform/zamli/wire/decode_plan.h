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

// A name's length and first 16 bytes: most names are shorter, and two
// heads that differ tell two names apart without a look at either.
struct NameHead {
  explicit NameHead(std::string_view name) : size(name.size()) {
    const size_t n = name.size() < sizeof words ? name.size() : sizeof words;
    char bytes[sizeof words] = {};
    for (size_t i = 0; i < n; ++i) bytes[i] = name[i];
    std::memcpy(words, bytes, sizeof words);
  }
  bool operator==(const NameHead& other) const {
    return size == other.size && words[0] == other.words[0] && words[1] == other.words[1];
  }
  // For names of equal heads: the rest past the head.
  bool SameTail(std::string_view a, std::string_view b) const {
    return size <= sizeof words || a.substr(sizeof words) == b.substr(sizeof words);
  }

  size_t size;
  uint64_t words[2];
};

// A property as the decoder reads it, copied out of the type so that the
// walk finds all it needs in the plan.
struct DecodedProperty {
  std::string_view name;
  NameHead head;
  PropertyRef property;
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
    const NameHead head(name);
    const size_t n = properties.size();
    for (size_t i = hint; i < n; ++i) {
      if (properties[i].head == head && head.SameTail(properties[i].name, name)) return i;
    }
    for (size_t i = 0; i < hint && i < n; ++i) {
      if (properties[i].head == head && head.SameTail(properties[i].name, name)) return i;
    }
    return n;
  }

  static std::unique_ptr<DecodePlan> Make(const DataObjectType& type, const VersionFilter& versions);
};

using DecodePlans = Plans<DecodePlan>;

}  // namespace Zamli::Wire
