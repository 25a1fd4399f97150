#pragma once
// Plans the encoder and decoder work out once per data type and version, so
// that their walks make no version checks or name work per object. A Plan
// offers `static std::unique_ptr<Plan> Make(const DataObjectType&, const
// VersionFilter&)`.
#include <zamli/wire/value_model.h>

#include <cstdint>
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
    const Plan* plan = shared_ ? Shared(type) : Own(type);
    lastType_ = &type;
    lastPlan_ = plan;
    return *plan;
  }

 private:
  // Shared plans are found through a small cache the thread keeps from one
  // encode or decode to the next, so that most finds take neither the lock
  // nor a map's search.
  struct Cached {
    const Version* version = nullptr;
    const DataObjectType* type = nullptr;
    const Plan* plan = nullptr;
  };
  static constexpr size_t kCachedPlans = 256;

  // The thread's cache, found once per encode or decode. Made on the
  // thread's first use, so that only a pointer is kept for every thread.
  static Cached* ThreadCache() {
    static thread_local std::unique_ptr<Cached[]> cache;
    if (!cache) cache = std::make_unique<Cached[]>(kCachedPlans);
    return cache.get();
  }

  const Plan* Shared(const DataObjectType& type) {
    if (cache_ == nullptr) cache_ = ThreadCache();
    const Version* version = &versions_.GetVersion();
    const auto bits = reinterpret_cast<uintptr_t>(&type);
    Cached& slot = cache_[((bits >> 4) ^ (bits >> 13) ^ reinterpret_cast<uintptr_t>(version) >> 4) % kCachedPlans];
    if (slot.type == &type && slot.version == version) return slot.plan;
    static auto* shared = new std::map<std::pair<const Version*, const DataObjectType*>, std::unique_ptr<Plan>>();
    std::lock_guard<std::mutex> lock(SharedPlansMutex());
    std::unique_ptr<Plan>& made = (*shared)[{version, &type}];
    if (!made) made = Plan::Make(type, versions_);
    slot = Cached{version, &type, made.get()};
    return made.get();
  }

  const Plan* Own(const DataObjectType& type) {
    auto it = seen_.find(&type);
    if (it != seen_.end()) return it->second;
    own_.push_back(Plan::Make(type, versions_));
    seen_.emplace(&type, own_.back().get());
    return own_.back().get();
  }

  const VersionFilter& versions_;
  bool shared_;
  std::unordered_map<const DataObjectType*, const Plan*> seen_;
  std::vector<std::unique_ptr<Plan>> own_;
  const DataObjectType* lastType_ = nullptr;
  const Plan* lastPlan_ = nullptr;
  Cached* cache_ = nullptr;
};

}  // namespace Zamli::Wire
