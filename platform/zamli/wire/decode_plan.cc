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
  plan->requiredBits.assign((all.size() + 63) / 64, 0);
  for (const PropertyRef& p : all) {
    const bool included = versions.Includes(p.info->version);
    const size_t at = plan->properties.size();
    if (included && IsRequiredValue(*p.info)) {
      plan->required.push_back(at);
      plan->requiredBits[at / 64] |= uint64_t{1} << (at % 64);
    }
    plan->properties.push_back(DecodedProperty{p.info->name, NameHead(p.info->name), p, included});
  }
  plan->included = versions.Includes(type);
  return plan;
}

size_t DecodePlan::Search(const NameHead& head, std::string_view name, size_t hint) const {
  const size_t n = properties.size();
  for (size_t i = hint + 1; i < n; ++i) {
    if (Is(properties[i], head, name)) return i;
  }
  for (size_t i = 0; i < hint && i < n; ++i) {
    if (Is(properties[i], head, name)) return i;
  }
  return n;
}

}  // namespace Zamli::Wire
