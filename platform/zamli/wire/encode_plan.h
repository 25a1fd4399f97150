#pragma once
// What the encoder writes of a data type at a version, worked out once per
// pair: the class the value travels as and, per property, whether the
// version includes it. The walk then makes no version checks per object.
#include <zamli/wire/plans.h>
#include <zamli/wire/value_model.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

// What keeps a property out of a version: its own version or, for a data or
// enumeration property, its type's (a property of a type the version lacks
// goes with that type). The one rule encoding goes by; the first that
// applies is named, so that what is left out can say why.
enum class Exclusion { kNone, kOwnVersion, kTypeVersion };
Exclusion ExcludedBy(const VersionFilter& versions, const PropertyInfo& info);

inline bool IncludesProperty(const VersionFilter& versions, const PropertyInfo& info) {
  return ExcludedBy(versions, info) == Exclusion::kNone;
}

struct PlannedProperty {
  const PropertyRef* property;
  const void* (*address)(DynamicData*, int index);  // the owner's record function
  std::string_view name;
  std::string json_member;  // ,"name": as the JSON writer writes it
  bool included;            // false: left out, or refused when required and set
  bool required;
  bool stored_inline;
};

struct EncodePlan {
  // The class the value travels as: the type or its nearest base the
  // version includes; null when there is none.
  const DataObjectType* sent = nullptr;
  std::vector<PlannedProperty> properties;  // of `sent`, in record order

  static std::unique_ptr<EncodePlan> Make(const DataObjectType& type, const VersionFilter& versions);
};

using EncodePlans = Plans<EncodePlan>;

}  // namespace Zamli::Wire
