#pragma once
// The roots of remote service interfaces: what every interface class, every
// client stub and every server implementation has in common.
#include <haldun/exception.h>
#include <haldun/object_impl.h>
#include <haldun/ref.h>
#include <haldun/scheduled_item.h>
#include <zamli/values/any.h>
#include <zamli/values/mo_ref.h>

#include <functional>
#include <string>
#include <vector>

namespace Zamli {

class ManagedMethod;
class ManagedObjectType;
class RequestContext;

// Base of all managed object interfaces (kettar.ManagedObject). Interfaces
// derive from it virtually, so that a stub or a server object that also
// derives from a runtime base (StubImpl, ServerObject) has one of it.
class ZAMLI_EXPORT ManagedObject : public Haldun::ObjectImpl {
 public:
  ~ManagedObject() override;
  virtual Type* _GetType() const;
  // The reference under which the object is reached.
  virtual MoRef* _GetRef() const = 0;
  // The context of the call being made (stubs) or served (servers); may be null.
  virtual RequestContext* _GetRequestContext() const = 0;
};

// Name/value pairs travelling with a call (a session, a locale, an operation id).
class ZAMLI_EXPORT RequestContext : public Haldun::ObjectImpl {
 public:
  ~RequestContext() override;
  void Set(const std::string& key, std::string value);
  // Empty when the key is absent.
  std::string Get(const std::string& key) const;

 private:
  std::vector<std::pair<std::string, std::string>> values_;
};

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

// The runtime's half of every server object: its reference, and the answer
// to the members its class does not implement.
class ZAMLI_EXPORT ServerObject : public virtual ManagedObject {
 public:
  explicit ServerObject(Haldun::Ref<MoRef> ref) : ref_(std::move(ref)) {}
  ~ServerObject() override;
  MoRef* _GetRef() const override { return ref_.Get(); }
  RequestContext* _GetRequestContext() const override { return nullptr; }
  // Called for every member the class does not override, with the member
  // index and the boxed arguments; the default raises the not-implemented fault.
  virtual void _Unimplemented(int memberIndex, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result) = 0;

 private:
  Haldun::Ref<MoRef> ref_;
};

}  // namespace Zamli
