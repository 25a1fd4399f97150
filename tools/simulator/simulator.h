#pragma once
// A simulated cluster endpoint: answers every method of every managed type
// for the objects of its inventory, with made-up values valid at the
// caller's version, or with what a script stages. It is a directory of
// objects like any other, so any transport (or the wire loopback) serves it.
#include <zamli/calls/object_directory.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "inventory.h"
#include "script.h"

namespace Pelksim {

struct SimulatorOptions {
  std::uint64_t seed = 1;
  std::chrono::milliseconds latency{0};  // added to every call
  Script script;
  // One line per call: method, target, principal, status and time taken.
  std::function<void(const std::string& line)> log;
};

class Simulator : public Zamli::ObjectDirectory {
 public:
  explicit Simulator(SimulatorOptions options = {});

  const Inventory& GetInventory() const { return inventory_; }

  // No object lives behind the references: every call is answered here.
  Haldun::Ref<Zamli::ManagedObject> Find(const Zamli::MoRef& ref) const override;
  // An object outside the inventory is kettar.fault.ManagedObjectNotFound.
  Haldun::Ref<Zamli::Any> Dispatch(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                   std::vector<Haldun::Ref<Zamli::Any>>& args) override;

 private:
  Haldun::Ref<Zamli::Any> Answer(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                 std::vector<Haldun::Ref<Zamli::Any>>& args, const Zamli::Version& version);

  SimulatorOptions options_;
  Inventory inventory_;
};

}  // namespace Pelksim
