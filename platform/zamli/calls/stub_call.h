#pragma once
// The client side of a remote call: a stub's member is one line on top of these.
#include <haldun/ref.h>
#include <zamli/calls/call_values.h>
#include <zamli/calls/stub.h>

namespace Zamli::Call {

// -- the stub side of member k ----------------------------------------------
// With a by-value result R.
template <class R, class... A>
R Invoke(StubImpl& stub, ManagedMethod* method, const A&... args) {
  Args boxed = BoxArgs(args...);
  Haldun::Ref<Any> slot;
  stub._Invoke_Task(method, boxed, slot);
  return ConvertResult<R>(slot.Get());
}
// Without a result.
template <class... A>
void InvokeVoid(StubImpl& stub, ManagedMethod* method, const A&... args) {
  Args boxed = BoxArgs(args...);
  stub._Invoke_Task(method, boxed);
}
// With a result through an out-parameter, assigned only once converted.
template <class T, class... A>
void InvokeOut(StubImpl& stub, ManagedMethod* method, Haldun::Ref<T>& out, const A&... args) {
  Args boxed = BoxArgs(args...);
  Haldun::Ref<Any> slot;
  stub._Invoke_Task(method, boxed, slot);
  Haldun::Ref<T> converted;
  ConvertOut(slot.Get(), converted);
  out = std::move(converted);
}
template <class... A>
void Start(StubImpl& stub, ManagedMethod* method, const CompletionCallback& callback,
           Haldun::Ref<Haldun::System::ScheduledItem>& item, const A&... args) {
  stub._StartInvoke_Task(method, BoxArgs(args...), callback, item);
}

}  // namespace Zamli::Call
