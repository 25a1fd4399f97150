#include <haldun/exception.h>
#include <qor-services/served_task.h>
#include <qor-services/task_registry.h>

#include <algorithm>
#include <atomic>

namespace Qor::Services {

namespace {
// Process-wide, so that registries sharing a directory never reuse an id.
std::atomic<long> gNextTaskId{1};
}  // namespace

TaskProgress::~TaskProgress() = default;

TaskRegistry::TaskRegistry(Zamli::LocalAdapter& directory) : TaskRegistry(directory, Options{}) {}

TaskRegistry::TaskRegistry(Zamli::LocalAdapter& directory, Options options) : directory_(directory), options_(options) {
  if (options_.workers < 1) throw Haldun::InvalidArgumentException("a task registry needs at least one worker");
  for (int i = 0; i < options_.workers; ++i) workers_.emplace_back([this] { RunJobs(); });
}

TaskRegistry::~TaskRegistry() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const Haldun::Ref<ServedTask>& task : unfinished_) task->CancelQuietly();
  }
  queued_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

Haldun::Ref<Zamli::MoRef> TaskRegistry::Start(const std::string& descriptionId, Work work, Zamli::MoRef* entity) {
  if (!work) throw Haldun::InvalidArgumentException("a task needs work to run");
  Haldun::Ref<ServedTask> task;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) throw Haldun::InvalidStateException("the task registry is shutting down");
    task = Haldun::Ref<ServedTask>(new ServedTask("task-" + std::to_string(gNextTaskId++), descriptionId, entity));
    directory_.Register(task.Get());
    unfinished_.push_back(task);
    queue_.push_back(Job{task, std::move(work)});
  }
  queued_.notify_one();
  return Haldun::Ref<Zamli::MoRef>(task->_GetRef());
}

void TaskRegistry::RunJobs() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and nothing left to end
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    job.task->Run(job.work);
    Ended(job.task->_GetRef()->GetId());
  }
}

void TaskRegistry::Ended(const std::string& id) {
  std::lock_guard lock(mutex_);
  std::erase_if(unfinished_, [&](const Haldun::Ref<ServedTask>& t) { return t->_GetRef()->GetId() == id; });
  finished_.push_back(id);
  while (finished_.size() > options_.keepFinished) {
    directory_.Unregister(finished_.front());
    finished_.pop_front();
  }
}

}  // namespace Qor::Services
