#include <zamli/calls/completion.h>

#include <memory>

namespace Zamli {

void InvokeToCompletion(StubAdapter& adapter, MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args,
                        RequestContext* context, Haldun::System::ScheduledItem& item,
                        const CompletionCallback& callback) {
  Haldun::Ref<Any> result;
  std::unique_ptr<Haldun::Exception> error;
  try {
    adapter.Invoke(target, method, args, result, context);
  } catch (const Haldun::Exception& e) {
    error.reset(static_cast<Haldun::Exception*>(e.Clone()));
  } catch (const std::exception& e) {
    error = std::make_unique<Haldun::Exception>(e.what());
  } catch (...) {
    error = std::make_unique<Haldun::Exception>("the call raised something that is not an exception");
  }
  // The item is done even when the callback throws, so that no waiter hangs.
  struct MarkDoneOnExit {
    Haldun::System::ScheduledItem& item;
    ~MarkDoneOnExit() { item.MarkDone(); }
  } done{item};
  if (callback) callback(&item, error.get(), error ? nullptr : result.Get());
}

}  // namespace Zamli
