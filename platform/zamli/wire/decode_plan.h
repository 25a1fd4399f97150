#pragma once
// What the decoder reads of a data type at a version, worked out once per
// pair: its properties' names, ready to compare, whether the version
// includes each, and which must be given.
#include <zamli/wire/plans.h>
#include <zamli/wire/value_model.h>

#include <algorithm>
#include <bit>
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
  explicit NameHead(std::string_view name)
      : size(name.size()),
        words{Word(name.data(), std::min<size_t>(size, 8)),
              size > 8 ? Word(name.data() + 8, std::min<size_t>(size - 8, 8)) : 0} {}
  bool operator==(const NameHead& other) const {
    return size == other.size && words[0] == other.words[0] && words[1] == other.words[1];
  }
  // For names of equal heads: the rest past the head.
  bool SameTail(std::string_view a, std::string_view b) const {
    return size <= sizeof words || a.substr(sizeof words) == b.substr(sizeof words);
  }

  size_t size;
  uint64_t words[2];

 private:
  // The `n` (at most 8) bytes at `p`, byte i at bits 8i and zeros past
  // them: a member's name is looked up once per member, so the bytes are
  // read a word (or two overlapping halves) at a time where the order of
  // bytes in a word allows.
  static uint64_t Word(const char* p, size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
      if (n == 8) return Load<uint64_t>(p);
      if (n >= 4) return Load<uint32_t>(p) | uint64_t{Load<uint32_t>(p + n - 4)} >> (8 * (8 - n)) << 32;
      if (n == 0) return 0;
      const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])} << (8 * i); };
      return byte(0) | byte(n / 2) | byte(n - 1);
    } else {
      uint64_t word = 0;
      for (size_t i = n; i-- > 0;) word = word << 8 | static_cast<unsigned char>(p[i]);
      return word;
    }
  }
  template <class T>
  static T Load(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
  }
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
  // the last found, which is most often the one.
  size_t Find(std::string_view name, size_t hint) const {
    const NameHead head(name);
    if (hint < properties.size() && Is(properties[hint], head, name)) return hint;
    return Search(head, name, hint);
  }

  static std::unique_ptr<DecodePlan> Make(const DataObjectType& type, const VersionFilter& versions);

 private:
  static bool Is(const DecodedProperty& p, const NameHead& head, std::string_view name) {
    return p.head == head && head.SameTail(p.name, name);
  }
  // Find past the hint: the properties after it, then those before.
  size_t Search(const NameHead& head, std::string_view name, size_t hint) const;
};

using DecodePlans = Plans<DecodePlan>;

}  // namespace Zamli::Wire
