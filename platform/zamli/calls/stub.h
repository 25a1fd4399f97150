#pragma once
// The client side of calls: the adapters that carry them and the runtime's
// half of every client stub.
#include <haldun/exception.h>
#include <haldun/ref.h>
#include <haldun/scheduled_item.h>
#include <zamli/calls/interface_root.h>
#include <zamli/calls/request_context.h>

#include <functional>
#include <vector>

namespace Zamli {

// What an asynchronous call reports when it completes: its scheduled item,
// the exception it raised (or null) and its raw result (or null).
using CompletionCallback = std::function<void(Haldun::System::ScheduledItem*, Haldun::Exception*, Any*)>;

// Carries calls from stubs to the objects that serve them: in-process, or
// over a network. A stub names the target, the member and the arguments.
class ZAMLI_EXPORT StubAdapter {
 public:
  virtual ~StubAdapter();
  // Returns when the call has completed: the result (or null) is in `result`,
  // or the fault or error has been thrown as its own exception class.
  virtual void Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args,
                      Haldun::Ref<Any>& result, RequestContext* context) = 0;
  // Takes what it needs from `args` before returning; reports completion
  // through `callback`, and hands back the pending call in `item`.
  virtual void StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                           RequestContext* context, const CompletionCallback& callback,
                           Haldun::Ref<Haldun::System::ScheduledItem>& item) = 0;
};

// The runtime's half of every client stub: the reference, the adapter and
// the context, and the calls through the adapter.
class ZAMLI_EXPORT StubImpl : public virtual ManagedObject {
 public:
  StubImpl(MoRef* ref, StubAdapter* adapter, RequestContext* context);
  ~StubImpl() override;

  MoRef* _GetRef() const override { return ref_.Get(); }
  virtual void _Invoke(ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result);
  virtual void _Invoke_Task(ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result);
  virtual void _StartInvoke(ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                            const CompletionCallback& callback, Haldun::Ref<Haldun::System::ScheduledItem>& item);
  virtual void _StartInvoke_Task(ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                                 const CompletionCallback& callback, Haldun::Ref<Haldun::System::ScheduledItem>& item);
  virtual StubAdapter* _GetStubAdapter() const { return adapter_; }
  RequestContext* _GetRequestContext() const override { return context_.Get(); }
  virtual void _SetRequestContext(RequestContext* context) { context_ = Haldun::Ref<RequestContext>(context); }
  // A call without a result.
  void _Invoke_Task(ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args);

 private:
  Haldun::Ref<MoRef> ref_;
  StubAdapter* adapter_;
  Haldun::Ref<RequestContext> context_;
};

}  // namespace Zamli
