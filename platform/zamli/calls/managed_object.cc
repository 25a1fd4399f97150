#include <zamli/calls/managed_object.h>
#include <zamli/types/type.h>

namespace Zamli {

ManagedObject::~ManagedObject() = default;
Type* ManagedObject::_GetType() const { return nullptr; }

RequestContext::~RequestContext() = default;

void RequestContext::Set(const std::string& key, std::string value) {
  for (auto& [k, v] : values_) {
    if (k == key) {
      v = std::move(value);
      return;
    }
  }
  values_.emplace_back(key, std::move(value));
}

std::string RequestContext::Get(const std::string& key) const {
  for (const auto& [k, v] : values_) {
    if (k == key) return v;
  }
  return {};
}

StubAdapter::~StubAdapter() = default;

StubImpl::StubImpl(MoRef* ref, StubAdapter* adapter, RequestContext* context)
    : ref_(ref), adapter_(adapter), context_(context) {
  if (ref == nullptr || adapter == nullptr) {
    throw Haldun::InvalidArgumentException("a stub needs a managed object reference and an adapter");
  }
}

StubImpl::~StubImpl() = default;

void StubImpl::_Invoke(ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result) {
  adapter_->Invoke(ref_.Get(), method, args, result, context_.Get());
}

void StubImpl::_Invoke_Task(ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result) {
  _Invoke(method, args, result);
}

void StubImpl::_Invoke_Task(ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args) {
  Haldun::Ref<Any> ignored;
  _Invoke_Task(method, args, ignored);
}

void StubImpl::_StartInvoke(ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                            const CompletionCallback& callback, Haldun::Ref<Haldun::System::ScheduledItem>& item) {
  adapter_->StartInvoke(ref_.Get(), method, args, context_.Get(), callback, item);
}

void StubImpl::_StartInvoke_Task(ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                                 const CompletionCallback& callback, Haldun::Ref<Haldun::System::ScheduledItem>& item) {
  _StartInvoke(method, args, callback, item);
}

ServerObject::~ServerObject() = default;

}  // namespace Zamli
