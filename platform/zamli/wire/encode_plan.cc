#include <zamli/types/registry.h>
#include <zamli/wire/encode_plan.h>
#include <zamli/wire/json/json_writer.h>

namespace Zamli::Wire {

Exclusion ExcludedBy(const VersionFilter& versions, const PropertyInfo& info) {
  if (!versions.Includes(info.version)) return Exclusion::kOwnVersion;
  const bool typed = info.type->kind >= kEnumKind && info.type->kind <= kFaultKind;
  return typed && !versions.Includes(info.type->version) ? Exclusion::kTypeVersion : Exclusion::kNone;
}

std::unique_ptr<EncodePlan> EncodePlan::Make(const DataObjectType& type, const VersionFilter& versions) {
  auto plan = std::make_unique<EncodePlan>();
  plan->sent = versions.Downlevel(&type);
  if (plan->sent == nullptr) return plan;
  const std::vector<PropertyRef>& all = plan->sent->GetAllProperties();
  plan->properties.reserve(all.size());
  for (const PropertyRef& p : all) {
    plan->properties.push_back(PlannedProperty{&p, p.owner->GetDataTypeInfo()->getPropertyAddr, p.info->name,
                                               JsonWriter::Member(p.info->name), IncludesProperty(versions, *p.info),
                                               !(p.info->flags & kOptionalFlag), p.IsInline()});
  }
  return plan;
}

}  // namespace Zamli::Wire
