#pragma once
// The server side of calls: the runtime's half of every server object.
#include <haldun/ref.h>
#include <zamli/calls/interface_root.h>
#include <zamli/calls/server_call_scope.h>

#include <utility>
#include <vector>

namespace Zamli {

// The runtime's half of every server object: its reference, and the answer
// to the members its class does not implement.
class ZAMLI_EXPORT ServerObject : public virtual ManagedObject {
 public:
  explicit ServerObject(Haldun::Ref<MoRef> ref) : ref_(std::move(ref)) {}
  ~ServerObject() override;
  MoRef* _GetRef() const override { return ref_.Get(); }
  // The context of the call this thread serves; null outside one.
  RequestContext* _GetRequestContext() const override {
    const ServerCallInfo* call = ServerCallScope::Current();
    return call ? call->context.Get() : nullptr;
  }
  // Called for every member the class does not override, with the member
  // index and the boxed arguments; the default raises the not-implemented fault.
  virtual void _Unimplemented(int memberIndex, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result) = 0;

 private:
  Haldun::Ref<MoRef> ref_;
};

}  // namespace Zamli
