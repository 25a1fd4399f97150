#include <zamli/wire/decode_plan.h>

namespace Zamli::Wire {

bool IsRequiredValue(const PropertyInfo& info) {
  if (info.flags & (kOptionalFlag | kArrayFlag)) return false;
  ValueKind kind;
  return PrimitiveKindOf(info.type, kind);
}

std::unique_ptr<DecodePlan> DecodePlan::Make(const DataObjectType& type, const VersionFilter& versions) {
  auto plan = std::make_unique<DecodePlan>();
  const std::vector<PropertyRef>& all = type.GetAllProperties();
  plan->properties.reserve(all.size());
  for (const PropertyRef& p : all) {
    const bool included = versions.Includes(p.info->version);
    if (included && IsRequiredValue(*p.info)) plan->required.push_back(plan->properties.size());
    plan->properties.push_back(DecodedProperty{p.info->name, &p, included});
  }
  return plan;
}

}  // namespace Zamli::Wire
