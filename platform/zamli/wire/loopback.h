#pragma once
// Calls through the wire in one process: the client half encodes each call,
// the server half (Serve) decodes it, dispatches it to an object of a
// directory and encodes the answer or the fault, and the client half decodes
// that. What a network transport would do, minus the network.
#include <zamli/calls/object_directory.h>
#include <zamli/calls/stub.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/serve.h>

#include <mutex>
#include <string>

namespace Zamli::Wire {

class ZAMLI_WIRE_EXPORT LoopbackAdapter : public StubAdapter {
 public:
  LoopbackAdapter(const Codec& codec, ObjectDirectory& objects) : codec_(codec), objects_(objects) {}

  void Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result,
              RequestContext* context) override;
  // Runs the call at once, then reports it through the callback.
  void StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                   RequestContext* context, const CompletionCallback& callback,
                   Haldun::Ref<Haldun::System::ScheduledItem>& item) override;

  // The documents of the last call that completed, for inspection.
  std::string LastRequest() const;
  std::string LastResponse() const;

 private:
  const Codec& codec_;
  ObjectDirectory& objects_;
  mutable std::mutex lastMutex_;  // calls may come from any thread
  std::string lastRequest_;
  std::string lastResponse_;
};

}  // namespace Zamli::Wire
