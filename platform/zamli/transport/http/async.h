#pragma once
// Typed asynchronous calls without a second member per method:
//   std::future<bool> ok = Zamli::Http::Async(*stub, &I::UploadHclDb, std::string("db"));
// For a method whose result comes through an out-parameter, leave that
// parameter out; the future holds the result. Works with any adapter whose
// StartInvoke does not block (HttpAdapter's does not).
#include <haldun/exception.h>
#include <zamli/calls/call.h>

#include <future>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace Zamli::Http {

namespace Detail {

// Takes the method and boxed arguments a stub member passes, and stops the
// member there: what the typed stub does before it reaches an adapter.
class CallRecorder : public StubAdapter {
 public:
  struct Recorded {};  // raised to stop the stub member
  ManagedMethod* method = nullptr;
  std::vector<Haldun::Ref<Any>> args;

  void Invoke(MoRef*, ManagedMethod* m, std::vector<Haldun::Ref<Any>>& a, Haldun::Ref<Any>&, RequestContext*) override {
    method = m;
    args = std::move(a);
    throw Recorded{};
  }
  void StartInvoke(MoRef*, ManagedMethod*, const std::vector<Haldun::Ref<Any>>&, RequestContext*,
                   const CompletionCallback&, Haldun::Ref<Haldun::System::ScheduledItem>&) override {
    throw Haldun::InvalidStateException("the recorder only records");
  }
};

template <bool kOut, class R, class... P>
struct AsyncResult {
  using type = R;
};
template <class R, class... P>
struct AsyncResult<true, R, P...> {
  using type = Haldun::Ref<typename Call::LastIsOut<P...>::Target>;
};

template <bool kOut, class T>
void Settle(std::promise<T>& promise, Haldun::Exception* error, Any* result) {
  try {
    if (error != nullptr) error->Throw();
    if constexpr (kOut) {
      T out;
      Call::ConvertOut(result, out);
      promise.set_value(std::move(out));
    } else if constexpr (std::is_void_v<T>) {
      promise.set_value();
    } else {
      promise.set_value(Call::ConvertResult<T>(result));
    }
  } catch (...) {
    promise.set_exception(std::current_exception());
  }
}

}  // namespace Detail

template <class Stub, class I, class R, class... P, class... A>
auto Async(Stub& stub, R (I::*member)(P...), A&&... args)
    -> std::future<typename Detail::AsyncResult<Call::LastIsOut<P...>::value, R, P...>::type> {
  constexpr bool kOut = Call::LastIsOut<P...>::value;
  using T = typename Detail::AsyncResult<kOut, R, P...>::type;
  // The same stub class over the recorder boxes the arguments as the stub would.
  Detail::CallRecorder recorder;
  Stub recording(stub._GetRef(), &recorder, stub._GetRequestContext());
  try {
    if constexpr (kOut) {
      T out;
      (recording.*member)(std::forward<A>(args)..., out);
    } else {
      (recording.*member)(std::forward<A>(args)...);
    }
  } catch (const Detail::CallRecorder::Recorded&) {
  }
  auto promise = std::make_shared<std::promise<T>>();
  std::future<T> future = promise->get_future();
  Haldun::Ref<Haldun::System::ScheduledItem> item;
  stub._GetStubAdapter()->StartInvoke(
      stub._GetRef(), recorder.method, recorder.args, stub._GetRequestContext(),
      [promise](Haldun::System::ScheduledItem*, Haldun::Exception* error, Any* result) {
        Detail::Settle<kOut>(*promise, error, result);
      },
      item);
  return future;
}

}  // namespace Zamli::Http
