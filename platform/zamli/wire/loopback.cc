#include <zamli/calls/managed_object.h>
#include <zamli/wire/errors.h>
#include <zamli/wire/loopback.h>

#include <memory>

namespace Zamli::Wire {

std::string Serve(const Codec& codec, LocalAdapter& objects, std::string_view requestDocument) {
  try {
    try {
      Request request = codec.DecodeRequest(requestDocument);
      Haldun::Ref<Any> result;
      objects.Invoke(request.target.Get(), const_cast<ManagedMethod*>(request.method), request.args, result, nullptr);
      return codec.EncodeResponse(*request.method, result.Get());
    } catch (const MethodFault::Exception&) {
      throw;
    } catch (const Haldun::Exception& e) {
      Fail(Problem::kSystemError, "", e.what());
    }
  } catch (const MethodFault::Exception& e) {
    return codec.EncodeFault(*e.GetFault());
  }
}

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
  item = Haldun::Ref<Haldun::System::ScheduledItem>(new Haldun::System::ScheduledItem());
  std::vector<Haldun::Ref<Any>> copy = args;
  Haldun::Ref<Any> result;
  try {
    Invoke(target, method, copy, result, context);
  } catch (const Haldun::Exception& e) {
    std::unique_ptr<Haldun::Throwable> error(e.Clone());
    if (callback) callback(item.Get(), static_cast<Haldun::Exception*>(error.get()), nullptr);
    item->MarkDone();
    return;
  }
  if (callback) callback(item.Get(), nullptr, result.Get());
  item->MarkDone();
}

}  // namespace Zamli::Wire
