#include "simulator.h"

#include <qor/kettar/fault/ManagedObjectNotFound.h>
#include <zamli/calls/server_call_scope.h>
#include <zamli/types/registry.h>
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

// What stands behind an object of the inventory: its reference and type.
class SimulatedObject : public Zamli::ManagedObject {
 public:
  SimulatedObject(Zamli::Type* type, const Zamli::MoRef& ref)
      : type_(type), ref_(new Zamli::MoRef(ref.GetTypeName(), ref.GetId())) {}
  Zamli::Type* _GetType() const override { return type_; }
  Zamli::MoRef* _GetRef() const override { return ref_.Get(); }
  Zamli::RequestContext* _GetRequestContext() const override { return nullptr; }

 private:
  Zamli::Type* type_;
  Haldun::Ref<Zamli::MoRef> ref_;
};

[[noreturn]] void NotFound(const Zamli::MoRef& target) {
  Haldun::Ref<Zamli::Fault::ManagedObjectNotFound> fault(new Zamli::Fault::ManagedObjectNotFound());
  fault->obj = Haldun::Ref<Zamli::MoRef>(new Zamli::MoRef(target.GetTypeName(), target.GetId()));
  fault->ThrowFault();
  throw std::logic_error("ThrowFault returned");  // it never does; the compiler cannot see that
}

}  // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)), tasks_(served_), collector_(new Qor::Services::PropertyCollectorServer(*this)) {
  served_.Register(collector_.Get());
}

Haldun::Ref<Zamli::ManagedObject> Simulator::Find(const Zamli::MoRef& ref) const {
  if (Haldun::Ref<Zamli::ManagedObject> served = served_.Find(ref)) return served;
  if (!inventory_.Contains(ref.GetTypeName(), ref.GetId())) return {};
  return Haldun::Ref<Zamli::ManagedObject>(
      new SimulatedObject(Zamli::TypeRegistry::Instance().FindByName(ref.GetTypeName()), ref));
}

Haldun::Ref<Zamli::Any> Simulator::Dispatch(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                            std::vector<Haldun::Ref<Zamli::Any>>& args) {
  const auto start = std::chrono::steady_clock::now();
  const Zamli::ServerCallInfo* call = Zamli::ServerCallScope::Current();
  const Zamli::Version& version =
      call != nullptr && call->version != nullptr ? *call->version : Pelkctl::NewestVersion();
  auto log = [&](const std::string& status) {
    // Property reads come from the collector serving a call already logged.
    if (!options_.log || method.IsPropertyReader()) return;
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
  if (served_.Find(target)) return served_.Dispatch(target, method, args);
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
  AnswerMaker maker(inventory_, version, CallSeed(options_.seed, MethodName(method), target.GetId()));
  if (method.IsPropertyReader()) {
    // Read through the property collector: a value of the property's type.
    const Zamli::PropertyInfo& declared = *method.GetPropertyInfo();
    const Zamli::Type* type = Zamli::TypeRegistry::Instance().FindByTypeInfo(declared.type);
    if (type == nullptr) return {};
    if (declared.flags & Zamli::kArrayFlag) type = type->GetArrayType();
    return json.DecodeValue(maker.Value(declared).dump(), *type);
  }
  if (method.GetMethodInfo()->isTask) return StartTask(method, target);
  const Zamli::PropertyInfo& declared = method.GetMethodInfo()->result;
  if (declared.type == nullptr) return {};
  return json.DecodeResponse(Json{{"returnval", maker.Value(declared)}}.dump(), method);
}

Haldun::Ref<Zamli::Any> Simulator::StartTask(const Zamli::ManagedMethod& method, const Zamli::MoRef& target) {
  const auto step = options_.taskDuration / 10;
  Haldun::Ref<Zamli::MoRef> entity(new Zamli::MoRef(target.GetTypeName(), target.GetId()));
  Haldun::Ref<Zamli::MoRef> task = tasks_.Start(
      method.GetMethodInfo()->wsdlName,
      [step](Qor::Services::TaskProgress& progress) {
        for (int done = 1; done <= 10 && !progress.IsCancelled(); ++done) {
          std::this_thread::sleep_for(step);
          progress.SetProgress(done * 10);
        }
        return Haldun::Ref<Zamli::Any>();
      },
      entity.Get());
  return Haldun::Ref<Zamli::Any>(task);
}

}  // namespace Pelksim
