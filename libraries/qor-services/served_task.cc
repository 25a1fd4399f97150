#include <qor-services/served_task.h>
#include <qor/kettar/fault/SystemError.h>
#include <qor/qor/fault/InvalidState.h>
#include <zamli/values/data_array.h>

#include <algorithm>
#include <exception>

namespace Qor::Services {

namespace {

constexpr const char* kQueued = "queued";
constexpr const char* kRunning = "running";
constexpr const char* kSuccess = "success";
constexpr const char* kError = "error";

template <class F>
Haldun::Ref<F> FaultSaying(const std::string& text) {
  Haldun::Ref<F> fault(new F());
  Haldun::Ref<Zamli::LocalizableMessage> message(new Zamli::LocalizableMessage());
  message->key = "task";
  message->message = text;
  fault->GetFaultMessage()->Append(message);
  return fault;
}

Haldun::Ref<Zamli::MethodFault> SystemError(const std::string& reason) {
  Haldun::Ref<Zamli::Fault::SystemError> fault = FaultSaying<Zamli::Fault::SystemError>(reason);
  fault->reason = reason;
  return Haldun::Ref<Zamli::MethodFault>(fault.Get());
}

}  // namespace

ServedTask::ServedTask(const std::string& id, const std::string& descriptionId, Zamli::MoRef* entity)
    : TaskServer(id), info_(new TaskInfo()) {
  info_->key = id;
  info_->task = Haldun::Ref<Zamli::MoRef>(_GetRef());
  info_->descriptionId = descriptionId;
  info_->entity = Haldun::Ref<Zamli::MoRef>(entity);
  info_->state = kQueued;
  info_->cancelable = true;
  info_->queueTime = Haldun::System::DateTime::GetUtcTime();
}

void ServedTask::GetInfo(Haldun::Ref<TaskInfo>& result) {
  std::lock_guard lock(mutex_);
  result = Haldun::Ref<TaskInfo>(static_cast<TaskInfo*>(info_->_Clone()));
}

void ServedTask::CancelTask() {
  std::lock_guard lock(mutex_);
  if (info_->state == kSuccess || info_->state == kError) {
    FaultSaying<Qor::Fault::InvalidState>("task " + info_->key + " has already ended")->ThrowInternal();
  }
  info_->cancelled = true;
}

void ServedTask::CancelQuietly() {
  std::lock_guard lock(mutex_);
  info_->cancelled = true;
}

void ServedTask::SetProgress(int percent) {
  std::lock_guard lock(mutex_);
  info_->progress = std::clamp(percent, 0, 100);
}

bool ServedTask::IsCancelled() const {
  std::lock_guard lock(mutex_);
  return info_->cancelled;
}

void ServedTask::Run(const TaskRegistry::Work& work) {
  {
    std::lock_guard lock(mutex_);
    if (info_->cancelled) {
      info_->state = kError;
      info_->error = Haldun::Ref<Zamli::MethodFault>(
          FaultSaying<Qor::Fault::InvalidState>("task " + info_->key + " was cancelled before it started").Get());
      info_->completeTime = Haldun::System::DateTime::GetUtcTime();
      return;
    }
    info_->state = kRunning;
    info_->startTime = Haldun::System::DateTime::GetUtcTime();
  }
  try {
    Finish(work(*this), {});
  } catch (const Zamli::MethodFault::Exception& e) {
    Finish({}, Haldun::Ref<Zamli::MethodFault>(e.GetFault()));
  } catch (const std::exception& e) {
    Finish({}, SystemError(e.what()));
  } catch (...) {
    Finish({}, SystemError("the task's work raised something that is not an exception"));
  }
}

void ServedTask::Finish(Haldun::Ref<Zamli::Any> result, Haldun::Ref<Zamli::MethodFault> error) {
  std::lock_guard lock(mutex_);
  info_->state = error ? kError : kSuccess;
  info_->result = std::move(result);
  info_->error = std::move(error);
  if (!info_->error) info_->progress = 100;
  info_->completeTime = Haldun::System::DateTime::GetUtcTime();
}

}  // namespace Qor::Services
