#include <zamli/types/registry.h>
#include <zamli/wire/encode_plan.h>
#include <zamli/wire/json/json_writer.h>

#include <map>
#include <mutex>

namespace Zamli::Wire {

bool IncludesProperty(const VersionFilter& versions, const PropertyInfo& info) {
  const char* typeVersion =
      info.type->kind >= kEnumKind && info.type->kind <= kFaultKind ? info.type->version : nullptr;
  return versions.Includes(info.version) && versions.Includes(typeVersion);
}

namespace {
std::unique_ptr<EncodePlan> MakePlan(const DataObjectType& type, const VersionFilter& versions) {
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

// Registered versions and types live as long as the process: so do their plans.
struct SharedPlans {
  std::mutex mutex;
  std::map<std::pair<const Version*, const DataObjectType*>, std::unique_ptr<EncodePlan>> plans;
};

SharedPlans& Shared() {
  static SharedPlans* shared = new SharedPlans();
  return *shared;
}
}  // namespace

EncodePlans::EncodePlans(const VersionFilter& versions)
    : versions_(versions),
      shared_(TypeRegistry::Instance().FindVersion(versions.GetVersion().GetName()) == &versions.GetVersion()) {}

const EncodePlan* EncodePlans::Find(const DataObjectType& type) {
  const EncodePlan* plan;
  if (shared_) {
    SharedPlans& shared = Shared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    std::unique_ptr<EncodePlan>& slot = shared.plans[{&versions_.GetVersion(), &type}];
    if (!slot) slot = MakePlan(type, versions_);
    plan = slot.get();
  } else {
    own_.push_back(MakePlan(type, versions_));
    plan = own_.back().get();
  }
  seen_.emplace(&type, plan);
  return plan;
}

}  // namespace Zamli::Wire
