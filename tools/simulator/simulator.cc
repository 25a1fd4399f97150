#include "simulator.h"

#include <qor/kettar/fault/ManagedObjectNotFound.h>
#include <zamli/calls/server_call_scope.h>
#include <zamli/wire/codec.h>

#include <sstream>
#include <stdexcept>
#include <thread>

#include "answers.h"
#include "transcode.h"

namespace Pelksim {
namespace {

using Json = nlohmann::ordered_json;

std::string MethodName(const Zamli::ManagedMethod& method) {
  return method.GetOwner()->GetName() + "." + method.GetName();
}

[[noreturn]] void NotFound(const Zamli::MoRef& target) {
  Haldun::Ref<Zamli::Fault::ManagedObjectNotFound> fault(new Zamli::Fault::ManagedObjectNotFound());
  fault->obj = Haldun::Ref<Zamli::MoRef>(new Zamli::MoRef(target.GetTypeName(), target.GetId()));
  fault->ThrowFault();
  throw std::logic_error("ThrowFault returned");  // it never does; the compiler cannot see that
}

}  // namespace

Simulator::Simulator(SimulatorOptions options) : options_(std::move(options)) {}

Haldun::Ref<Zamli::ManagedObject> Simulator::Find(const Zamli::MoRef&) const { return {}; }

Haldun::Ref<Zamli::Any> Simulator::Dispatch(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                            std::vector<Haldun::Ref<Zamli::Any>>& args) {
  const auto start = std::chrono::steady_clock::now();
  const Zamli::ServerCallInfo* call = Zamli::ServerCallScope::Current();
  const Zamli::Version& version =
      call != nullptr && call->version != nullptr ? *call->version : Pelkctl::NewestVersion();
  auto log = [&](const std::string& status) {
    if (!options_.log) return;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    std::ostringstream line;
    line << MethodName(method) << " " << target.GetTypeName() << ":" << target.GetId()
         << " principal=" << (call != nullptr && !call->principal.empty() ? call->principal : "-") << " " << status
         << " " << micros << "us";
    options_.log(line.str());
  };
  try {
    if (options_.latency.count() > 0) std::this_thread::sleep_for(options_.latency);
    Haldun::Ref<Zamli::Any> result = Answer(target, method, args, version);
    log("ok");
    return result;
  } catch (const Zamli::MethodFault::Exception& e) {
    log(e.GetFault()->_GetType()->GetName());
    throw;
  } catch (...) {
    log("error");
    throw;
  }
}

Haldun::Ref<Zamli::Any> Simulator::Answer(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                          std::vector<Haldun::Ref<Zamli::Any>>& args, const Zamli::Version& version) {
  if (!inventory_.Contains(target.GetTypeName(), target.GetId())) NotFound(target);
  const Zamli::Wire::Codec json("json", version);
  if (!options_.script.Empty() && !method.IsPropertyReader()) {
    const Json request = Json::parse(json.EncodeRequest(target, method, args));
    if (const ScriptEntry* entry = options_.script.Match(target, method, request)) {
      if (entry->delay.count() > 0) std::this_thread::sleep_for(entry->delay);
      if (!entry->fault.is_null()) json.DecodeFault(Json{{"fault", entry->fault}}.dump())->ThrowFault();
      return json.DecodeResponse(entry->result.is_null() ? "{}" : Json{{"returnval", entry->result}}.dump(), method);
    }
  }
  // Properties are read through the property collector, not called.
  if (method.IsPropertyReader()) return {};
  const Zamli::PropertyInfo& declared = method.GetMethodInfo()->result;
  if (declared.type == nullptr) return {};
  AnswerMaker maker(inventory_, version, CallSeed(options_.seed, MethodName(method), target.GetId()));
  return json.DecodeResponse(Json{{"returnval", maker.Value(declared)}}.dump(), method);
}

}  // namespace Pelksim
