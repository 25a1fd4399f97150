#pragma once
// The client's end of a task: follows the task a method returned until it
// ends, reading its info through the server's property collector.
#include <haldun/exception.h>
#include <haldun/ref.h>
#include <qor-services/collector_id.h>
#include <qor-services/export.h>
#include <zamli/calls/stub.h>
#include <zamli/values/mo_ref.h>

#include <chrono>
#include <functional>
#include <string>

namespace Qor::Services {

struct WaitOptions {
  std::string collectorId = kPropertyCollectorId;
  std::chrono::milliseconds pollInterval{200};
  // How long to follow the task before giving up with TaskTimeoutException.
  std::chrono::milliseconds timeout{std::chrono::minutes(30)};
  // Called with the task's progress each time it changes.
  std::function<void(int percent)> onProgress;
};

// The task did not end in time; it may still be running on the server.
class QOR_SERVICES_EXPORT TaskTimeoutException : public Haldun::ThrowableImpl<TaskTimeoutException, Haldun::Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

// Answers the task's result (null for none); a task that ended with a fault
// raises the fault as its own exception class. Errors of the calls
// themselves propagate as they are.
QOR_SERVICES_EXPORT Haldun::Ref<Zamli::Any> WaitForTask(Zamli::StubAdapter& adapter, Zamli::MoRef& task,
                                                        const WaitOptions& options = {});

}  // namespace Qor::Services
