#include <zamli/types/registry.h>
#include <zamli/wire/plans.h>

namespace Zamli::Wire {

bool IsRegistered(const VersionFilter& versions) {
  return TypeRegistry::Instance().FindVersion(versions.GetVersion().GetName()) == &versions.GetVersion();
}

std::mutex& SharedPlansMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

}  // namespace Zamli::Wire
