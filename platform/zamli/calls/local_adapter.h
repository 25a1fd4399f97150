#pragma once
// The in-process adapter: a directory of server objects, and calls from
// stubs carried straight to the managed type's dispatch function. Faults
// raised by an implementation reach the caller as their own exception
// classes. Asynchronous calls run on a pool of worker threads.
#include <zamli/calls/stub.h>
#include <zamli/calls/object_directory.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace Zamli {

class ZAMLI_EXPORT LocalAdapter : public StubAdapter, public ObjectDirectory {
 public:
  explicit LocalAdapter(int workers = 2);
  // Waits for the calls already started, then stops the workers.
  ~LocalAdapter() override;
  LocalAdapter(const LocalAdapter&) = delete;
  LocalAdapter& operator=(const LocalAdapter&) = delete;

  // Serves `object` under the id of its reference, replacing any object
  // served under that id before.
  void Register(ManagedObject* object);
  void Unregister(const std::string& id);
  Haldun::Ref<ManagedObject> Find(const std::string& id) const;
  Haldun::Ref<ManagedObject> Find(const MoRef& ref) const override { return Find(ref.GetId()); }

  void Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result,
              RequestContext* context) override;
  void StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                   RequestContext* context, const CompletionCallback& callback,
                   Haldun::Ref<Haldun::System::ScheduledItem>& item) override;

 private:
  void Work();

  mutable std::mutex objectsMutex_;
  std::map<std::string, Haldun::Ref<ManagedObject>, std::less<>> objects_;

  std::mutex queueMutex_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace Zamli
