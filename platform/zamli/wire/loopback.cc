#include <zamli/calls/completion.h>
#include <zamli/wire/loopback.h>

namespace Zamli::Wire {

void LoopbackAdapter::Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args,
                             Haldun::Ref<Any>& result, RequestContext*) {
  if (target == nullptr || method == nullptr) {
    throw Haldun::InvalidArgumentException("a call needs a target and a method");
  }
  std::string request = codec_.EncodeRequest(*target, *method, args);
  std::string response = Serve(codec_, objects_, request);
  {
    std::lock_guard lock(lastMutex_);
    lastRequest_ = request;
    lastResponse_ = response;
  }
  result = codec_.DecodeResponse(response, *method);
}

std::string LoopbackAdapter::LastRequest() const {
  std::lock_guard lock(lastMutex_);
  return lastRequest_;
}

std::string LoopbackAdapter::LastResponse() const {
  std::lock_guard lock(lastMutex_);
  return lastResponse_;
}

void LoopbackAdapter::StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                                  RequestContext* context, const CompletionCallback& callback,
                                  Haldun::Ref<Haldun::System::ScheduledItem>& item) {
  Haldun::Ref<Haldun::System::ScheduledItem> pending(new Haldun::System::ScheduledItem());
  item = pending;
  std::vector<Haldun::Ref<Any>> copy = args;
  InvokeToCompletion(*this, target, method, copy, context, *pending, callback);
}

}  // namespace Zamli::Wire
