#pragma once
// A simulated cluster endpoint: answers every method of every managed type
// for the objects of its inventory, with made-up values valid at the
// caller's version, or with what a script stages. It is a directory of
// objects like any other, so any transport (or the wire loopback) serves it.
#include <qor-services/property_collector_server.h>
#include <qor-services/task_registry.h>
#include <zamli/calls/local_adapter.h>
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
  // How long a task a method starts runs, from queued to success.
  std::chrono::milliseconds taskDuration{3000};
  Script script;
  // One line per call: method, target, principal, status and time taken.
  std::function<void(const std::string& line)> log;
};

class Simulator : public Zamli::ObjectDirectory {
 public:
  explicit Simulator(SimulatorOptions options = {});

  const Inventory& GetInventory() const { return inventory_; }

  // Tasks and the property collector are served objects; the inventory's
  // objects have nothing behind them but their type: every call to them is
  // answered here.
  Haldun::Ref<Zamli::ManagedObject> Find(const Zamli::MoRef& ref) const override;
  // An object outside the inventory is kettar.fault.ManagedObjectNotFound. A
  // method that returns a task starts one that runs for the task duration.
  Haldun::Ref<Zamli::Any> Dispatch(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                   std::vector<Haldun::Ref<Zamli::Any>>& args) override;

 private:
  Haldun::Ref<Zamli::Any> Answer(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                 std::vector<Haldun::Ref<Zamli::Any>>& args, const Zamli::Version& version);

  Haldun::Ref<Zamli::Any> StartTask(const Zamli::ManagedMethod& method, const Zamli::MoRef& target);

  SimulatorOptions options_;
  Inventory inventory_;
  Zamli::LocalAdapter served_;  // tasks and the collector
  Qor::Services::TaskRegistry tasks_;
  Haldun::Ref<Qor::Services::PropertyCollectorServer> collector_;
};

}  // namespace Pelksim
