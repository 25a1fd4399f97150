#pragma once
// Server tasks: a method that starts long work hands it to the registry and
// answers the reference it returns. The registry serves a qor.Task under a
// fresh id in the directory, runs the work on a small pool of its own, and
// publishes its state, progress, result or fault in the task's info, which
// clients read through the property collector (see WaitForTask).
#include <haldun/ref.h>
#include <qor-services/export.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/values/mo_ref.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Qor::Services {

class ServedTask;

// What the work of a task reports through while it runs.
class QOR_SERVICES_EXPORT TaskProgress {
 public:
  virtual ~TaskProgress();
  // Percent done, kept between 0 and 100.
  virtual void SetProgress(int percent) = 0;
  // Whether a client called cancelTask: long work should stop early.
  virtual bool IsCancelled() const = 0;
};

class QOR_SERVICES_EXPORT TaskRegistry {
 public:
  // Answers the task's result (null for none); a fault it raises becomes the
  // task's error, any other exception kettar.fault.SystemError.
  using Work = std::function<Haldun::Ref<Zamli::Any>(TaskProgress&)>;

  struct Options {
    int workers = 2;            // tasks that run at once; the others wait their turn
    size_t keepFinished = 256;  // ended tasks still served, the oldest dropped first
  };

  // `directory` serves the tasks and must outlive the registry.
  explicit TaskRegistry(Zamli::LocalAdapter& directory);
  TaskRegistry(Zamli::LocalAdapter& directory, Options options);
  // Cancels the tasks that have not ended and waits for their work to return.
  ~TaskRegistry();
  TaskRegistry(const TaskRegistry&) = delete;
  TaskRegistry& operator=(const TaskRegistry&) = delete;

  // Serves a new task for `work` (`entity`, if any, is what it works on),
  // queues the work and answers the task's reference.
  Haldun::Ref<Zamli::MoRef> Start(const std::string& descriptionId, Work work, Zamli::MoRef* entity = nullptr);

 private:
  struct Job {
    Haldun::Ref<ServedTask> task;
    Work work;
  };
  void RunJobs();
  void Ended(const std::string& id);

  Zamli::LocalAdapter& directory_;
  const Options options_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<Job> queue_;
  std::vector<Haldun::Ref<ServedTask>> unfinished_;
  std::deque<std::string> finished_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace Qor::Services
