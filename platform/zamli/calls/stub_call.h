#pragma once
// The client side of a remote call: a stub's member is one line on top of these.
#include <haldun/ref.h>
#include <zamli/calls/call_values.h>
#include <zamli/calls/stub.h>

namespace Zamli::Call {

// -- the stub side of member k ----------------------------------------------
// The call itself, the same for every member: the arguments, boxed in order
// on the caller's stack, are moved into the call's list. With a result slot,
// without one, and started with a callback.
ZAMLI_EXPORT void InvokeBoxed(StubImpl& stub, ManagedMethod* method, Haldun::Ref<Any>* args, size_t count,
                              Haldun::Ref<Any>& slot);
ZAMLI_EXPORT void InvokeBoxed(StubImpl& stub, ManagedMethod* method, Haldun::Ref<Any>* args, size_t count);
ZAMLI_EXPORT void StartBoxed(StubImpl& stub, ManagedMethod* method, Haldun::Ref<Any>* args, size_t count,
                             const CompletionCallback& callback, Haldun::Ref<Haldun::System::ScheduledItem>& item);

// One more than the arguments: a member without any still has an array.
template <class... A>
using BoxedArgs = Haldun::Ref<Any>[sizeof...(A) + 1];

// With a by-value result R.
template <class R, class... A>
R Invoke(StubImpl& stub, ManagedMethod* method, const A&... args) {
  BoxedArgs<A...> boxed = {BoxArg(args)...};
  Haldun::Ref<Any> slot;
  InvokeBoxed(stub, method, boxed, sizeof...(A), slot);
  return ConvertResult<R>(slot.Get());
}
// Without a result.
template <class... A>
void InvokeVoid(StubImpl& stub, ManagedMethod* method, const A&... args) {
  BoxedArgs<A...> boxed = {BoxArg(args)...};
  InvokeBoxed(stub, method, boxed, sizeof...(A));
}
// With a result through an out-parameter, assigned only once converted.
template <class T, class... A>
void InvokeOut(StubImpl& stub, ManagedMethod* method, Haldun::Ref<T>& out, const A&... args) {
  BoxedArgs<A...> boxed = {BoxArg(args)...};
  Haldun::Ref<Any> slot;
  InvokeBoxed(stub, method, boxed, sizeof...(A), slot);
  Haldun::Ref<T> converted;
  ConvertOut(slot.Get(), converted);
  out = std::move(converted);
}
template <class... A>
void Start(StubImpl& stub, ManagedMethod* method, const CompletionCallback& callback,
           Haldun::Ref<Haldun::System::ScheduledItem>& item, const A&... args) {
  BoxedArgs<A...> boxed = {BoxArg(args)...};
  StartBoxed(stub, method, boxed, sizeof...(A), callback, item);
}

}  // namespace Zamli::Call
