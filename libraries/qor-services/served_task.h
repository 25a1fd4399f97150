#pragma once
// A qor.Task as the registry serves it: its info, written by the worker that
// runs the work and read by any number of callers at once.
#include <qor-services/task_registry.h>
#include <qor/qor/TaskInfo.h>
#include <qor/qor/TaskServer.h>

#include <mutex>

namespace Qor::Services {

class ServedTask : public TaskServer, public TaskProgress {
 public:
  ServedTask(const std::string& id, const std::string& descriptionId, Zamli::MoRef* entity);

  // A copy: the worker goes on writing the task's own.
  void GetInfo(Haldun::Ref<TaskInfo>& result) override;
  // Marks the task cancelled; the work sees it through IsCancelled. A
  // finished task is qor.fault.InvalidState.
  void CancelTask() override;

  void SetProgress(int percent) override;
  bool IsCancelled() const override;

  // Runs `work` unless the task was cancelled before it started, and
  // publishes how it ended.
  void Run(const TaskRegistry::Work& work);
  // Cancels without a fault, whatever the state.
  void CancelQuietly();

 private:
  void Finish(Haldun::Ref<Zamli::Any> result, Haldun::Ref<Zamli::MethodFault> error);

  mutable std::mutex mutex_;
  Haldun::Ref<TaskInfo> info_;
};

}  // namespace Qor::Services
