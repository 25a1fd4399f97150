#include "inventory.h"

#include <zamli/types/registry.h>

#include <algorithm>

namespace Pelksim {
namespace {

// The kinds of object a cluster has several of, with their id prefixes.
struct Population {
  const char* type;
  const char* prefix;
  int count;
};
constexpr Population kPopulations[] = {
    {"qor.ClusterComputeResource", "domain-c", 1},
    {"qor.HostSystem", "host-", 3},
    {"qor.Datastore", "datastore-", 2},
    {"qor.Network", "network-", 2},
    {"qor.VirtualMachine", "vm-", 4},
};

// Served for real by the simulator, not made up.
bool ServedForReal(const std::string& type) { return type == "qor.Task" || type == "kettar.query.PropertyCollector"; }

}  // namespace

bool DerivesFrom(const Zamli::ManagedObjectType& type, const Zamli::ManagedObjectType& base) {
  auto& registry = Zamli::TypeRegistry::Instance();
  for (const Zamli::ManagedTypeInfo* info = type.GetManagedTypeInfo(); info != nullptr;) {
    if (info == base.GetManagedTypeInfo()) return true;
    auto* next = dynamic_cast<const Zamli::ManagedObjectType*>(registry.FindByTypeInfo(info->baseTypeInfo));
    info = next == nullptr ? nullptr : next->GetManagedTypeInfo();
  }
  return false;
}

Inventory::Inventory() {
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().GetAllTypes()) {
    auto* managed = dynamic_cast<const Zamli::ManagedObjectType*>(t);
    if (managed == nullptr || t->GetName() == "kettar.ManagedObject" || ServedForReal(t->GetName())) continue;
    types_.push_back(managed);
    std::vector<std::string>& ids = ids_[t->GetName()];
    auto population = std::find_if(std::begin(kPopulations), std::end(kPopulations),
                                   [&](const Population& p) { return t->GetName() == p.type; });
    if (population == std::end(kPopulations)) {
      ids.push_back(t->GetWsdlName() + "-1");
    } else {
      for (int i = 1; i <= population->count; ++i) ids.push_back(population->prefix + std::to_string(i));
    }
  }
}

bool Inventory::Contains(const std::string& typeName, const std::string& id) const {
  auto found = ids_.find(typeName);
  return found != ids_.end() && std::find(found->second.begin(), found->second.end(), id) != found->second.end();
}

std::vector<std::pair<const Zamli::ManagedObjectType*, std::string>> Inventory::ObjectsOf(
    const Zamli::ManagedObjectType& type) const {
  std::vector<std::pair<const Zamli::ManagedObjectType*, std::string>> out;
  for (const Zamli::ManagedObjectType* t : types_) {
    if (!DerivesFrom(*t, type)) continue;
    for (const std::string& id : ids_.at(t->GetName())) out.emplace_back(t, id);
  }
  return out;
}

}  // namespace Pelksim
