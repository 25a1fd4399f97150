#pragma once
// What the encoder writes of a data type at a version, worked out once per
// pair: the class the value travels as and, per property, whether the
// version includes it. The walk then makes no version checks per object.
#include <zamli/wire/value_model.h>

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Zamli::Wire {

// Whether the version includes a property: its own version and, for a data
// or enumeration property, its type's (a property of a type the version
// lacks goes with that type). The one rule encoding goes by.
bool IncludesProperty(const VersionFilter& versions, const PropertyInfo& info);

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
};

// Plans for one encode. Those of registered versions are shared by every
// encode for the life of the process; others are kept here.
class EncodePlans {
 public:
  explicit EncodePlans(const VersionFilter& versions);
  const EncodePlan& For(const DataObjectType& type) {
    if (&type == lastType_) return *lastPlan_;
    auto it = seen_.find(&type);
    const EncodePlan* plan = it != seen_.end() ? it->second : Find(type);
    lastType_ = &type;
    lastPlan_ = plan;
    return *plan;
  }

 private:
  const EncodePlan* Find(const DataObjectType& type);

  const VersionFilter& versions_;
  bool shared_;
  std::unordered_map<const DataObjectType*, const EncodePlan*> seen_;
  std::vector<std::unique_ptr<EncodePlan>> own_;
  const DataObjectType* lastType_ = nullptr;
  const EncodePlan* lastPlan_ = nullptr;
};

}  // namespace Zamli::Wire
