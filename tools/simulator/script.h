#pragma once
// Canned answers, so a client test can stage exactly the case it needs. A
// script is a JSON array of entries, tried in order; the first that matches
// a call answers it:
//
//   [{"method": "qor.HostSystem.enterMaintenanceMode",  // TYPE.METHOD, any case, wire names too
//     "target": "host-1",                               // optional: only this object
//     "args": {"timeout": 5},                           // optional: only these arguments (wire JSON)
//     "result": {...},                                  // the result, as the JSON encoding writes it
//     "fault": {"_typeName": "InvalidState", ...},      // or a fault to raise
//     "delayMs": 200}]                                  // optional: answer this much later
#include <zamli/types/type.h>
#include <zamli/types/version.h>
#include <zamli/values/any.h>
#include <zamli/values/mo_ref.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace Pelksim {

struct ScriptEntry {
  const Zamli::ManagedMethod* method = nullptr;
  std::string target;             // empty: any object
  nlohmann::ordered_json args;    // null: any arguments
  nlohmann::ordered_json result;  // the "returnval" of a JSON response
  nlohmann::ordered_json fault;   // null: answer with the result
  std::chrono::milliseconds delay{0};
};

class Script {
 public:
  Script() = default;
  // Every entry is checked here: an unknown method, a member that is not one
  // of the above, or a result or fault that does not decode at the newest
  // version raises std::invalid_argument naming the entry.
  static Script Parse(const std::string& text);
  static Script FromFile(const std::string& path);

  // The first entry for this call, or null. `request` is the call encoded in
  // JSON, for matching arguments.
  const ScriptEntry* Match(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                           const nlohmann::ordered_json& request) const;
  bool Empty() const { return entries_.empty(); }

 private:
  std::vector<ScriptEntry> entries_;
};

}  // namespace Pelksim
