#include <zamli/calls/completion.h>
#include <zamli/calls/local_adapter.h>

namespace Zamli {

LocalAdapter::LocalAdapter(int workers) {
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

LocalAdapter::~LocalAdapter() {
  {
    std::lock_guard lock(queueMutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void LocalAdapter::Register(ManagedObject* object) {
  if (object == nullptr || object->_GetRef() == nullptr) {
    throw Haldun::InvalidArgumentException("only an object with a reference can be served");
  }
  std::lock_guard lock(objectsMutex_);
  objects_[object->_GetRef()->GetId()] = Haldun::Ref<ManagedObject>(object);
}

void LocalAdapter::Unregister(const std::string& id) {
  std::lock_guard lock(objectsMutex_);
  objects_.erase(id);
}

Haldun::Ref<ManagedObject> LocalAdapter::Find(const std::string& id) const {
  std::lock_guard lock(objectsMutex_);
  auto it = objects_.find(id);
  return it == objects_.end() ? Haldun::Ref<ManagedObject>() : it->second;
}

void LocalAdapter::Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args,
                          Haldun::Ref<Any>& result, RequestContext*) {
  if (target == nullptr || method == nullptr) {
    throw Haldun::InvalidArgumentException("a call needs a target and a method");
  }
  result = Dispatch(*target, *method, args);
}

void LocalAdapter::StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                               RequestContext* context, const CompletionCallback& callback,
                               Haldun::Ref<Haldun::System::ScheduledItem>& item) {
  Haldun::Ref<Haldun::System::ScheduledItem> pending(new Haldun::System::ScheduledItem());
  item = pending;
  Haldun::Ref<MoRef> ref(target);
  Haldun::Ref<RequestContext> ctx(context);
  auto work = [this, ref, method, args = std::vector<Haldun::Ref<Any>>(args), ctx, callback, pending]() mutable {
    InvokeToCompletion(*this, ref.Get(), method, args, ctx.Get(), *pending, callback);
  };
  {
    std::lock_guard lock(queueMutex_);
    if (stopping_) throw Haldun::InvalidStateException("the adapter is shutting down");
    queue_.push_back(std::move(work));
  }
  queued_.notify_one();
}

void LocalAdapter::Work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(queueMutex_);
      queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and nothing left to run
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    job();
  }
}

}  // namespace Zamli
