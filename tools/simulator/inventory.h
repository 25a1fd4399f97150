#pragma once
// The simulated cluster's objects: one or more of every registered managed
// type, under ids that stay the same from run to run (a cluster, hosts,
// datastores, networks, virtual machines, and one object of every other type).
#include <zamli/types/type.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace Pelksim {

class Inventory {
 public:
  // Every managed type the registry holds at the time of the call.
  Inventory();

  // Whether an object of exactly this type (interface name) has this id.
  bool Contains(const std::string& typeName, const std::string& id) const;
  // The ids of the objects of `type` or of a type derived from it, with
  // their types; empty when there are none.
  std::vector<std::pair<const Zamli::ManagedObjectType*, std::string>> ObjectsOf(
      const Zamli::ManagedObjectType& type) const;
  // Every object, by type then id.
  const std::map<std::string, std::vector<std::string>>& Objects() const { return ids_; }

 private:
  std::map<std::string, std::vector<std::string>> ids_;  // interface name -> ids
  std::vector<const Zamli::ManagedObjectType*> types_;
};

// True when `type` is `base` or derives from it.
bool DerivesFrom(const Zamli::ManagedObjectType& type, const Zamli::ManagedObjectType& base);

}  // namespace Pelksim
