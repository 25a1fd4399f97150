#pragma once
// Plans the encoder and decoder work out once per data type and version, so
// that their walks make no version checks or name work per object. A Plan
// offers `static std::unique_ptr<Plan> Make(const DataObjectType&, const
// VersionFilter&)`.
#include <zamli/wire/value_model.h>

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Zamli::Wire {

// True for a version of the registry: it and its types live as long as the
// process, and so may plans made for them.
bool IsRegistered(const VersionFilter& versions);
// Guards the plans shared by every codec.
std::mutex& SharedPlansMutex();

// Plans for one encode or decode. Those of registered versions are shared
// by all for the life of the process; others are kept here.
template <class Plan>
class Plans {
 public:
  explicit Plans(const VersionFilter& versions) : versions_(versions), shared_(IsRegistered(versions)) {}

  const Plan& For(const DataObjectType& type) {
    if (&type == lastType_) return *lastPlan_;
    auto it = seen_.find(&type);
    const Plan* plan = it != seen_.end() ? it->second : Find(type);
    lastType_ = &type;
    lastPlan_ = plan;
    return *plan;
  }

 private:
  const Plan* Find(const DataObjectType& type) {
    const Plan* plan;
    if (shared_) {
      static auto* shared = new std::map<std::pair<const Version*, const DataObjectType*>, std::unique_ptr<Plan>>();
      std::lock_guard<std::mutex> lock(SharedPlansMutex());
      std::unique_ptr<Plan>& slot = (*shared)[{&versions_.GetVersion(), &type}];
      if (!slot) slot = Plan::Make(type, versions_);
      plan = slot.get();
    } else {
      own_.push_back(Plan::Make(type, versions_));
      plan = own_.back().get();
    }
    seen_.emplace(&type, plan);
    return plan;
  }

  const VersionFilter& versions_;
  bool shared_;
  std::unordered_map<const DataObjectType*, const Plan*> seen_;
  std::vector<std::unique_ptr<Plan>> own_;
  const DataObjectType* lastType_ = nullptr;
  const Plan* lastPlan_ = nullptr;
};

}  // namespace Zamli::Wire
