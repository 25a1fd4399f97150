#pragma once
// Values a simulated server answers with: made from the type records alone,
// valid for the declared type at the caller's version, the same for the same
// seed and call. They are written as the JSON wire encoding writes them and
// read back by the codec, so every answer is what a real server could send.
#include <zamli/types/records.h>
#include <zamli/types/version.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <string_view>

#include "inventory.h"

namespace Pelksim {

using Json = nlohmann::ordered_json;

class AnswerMaker {
 public:
  AnswerMaker(const Inventory& inventory, const Zamli::Version& version, std::uint64_t seed);

  // A value declared by `declared` (a property, parameter or result): an
  // array of a few items when it is one. Optional properties inside objects
  // are set about half the time, and only where the version includes them.
  Json Value(const Zamli::PropertyInfo& declared);

 private:
  Json Item(const Zamli::TypeInfo* type, int depth);
  Json Object(const Zamli::TypeInfo* type, int depth);
  Json Reference(const Zamli::TypeInfo* type);
  bool Included(const char* versionName) const;
  const Zamli::DataObjectType* ConcreteClassOf(const Zamli::DataObjectType& declared) const;
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  const Inventory& inventory_;
  const Zamli::Version& version_;
  std::mt19937_64 random_;
};

// A seed for one call: the run's seed mixed with the method's and target's
// names, so an answer does not depend on the calls made before it.
std::uint64_t CallSeed(std::uint64_t seed, std::string_view method, std::string_view target);

}  // namespace Pelksim
