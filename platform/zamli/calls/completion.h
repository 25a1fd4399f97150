#pragma once
// How an adapter reports an asynchronous call once it has run: one way for
// every adapter, so that callers see the same outcome whichever carried it.
#include <zamli/calls/stub.h>

#include <vector>

namespace Zamli {

// Runs the call through `adapter.Invoke` and reports its outcome through
// `callback` (when there is one): the result, or the exception it raised,
// anything but a Haldun::Exception as a Haldun::Exception carrying its
// message. Then marks `item` done, also when the callback raises, which
// it passes on.
ZAMLI_EXPORT void InvokeToCompletion(StubAdapter& adapter, MoRef* target, ManagedMethod* method,
                                     std::vector<Haldun::Ref<Any>>& args, RequestContext* context,
                                     Haldun::System::ScheduledItem& item, const CompletionCallback& callback);

}  // namespace Zamli
