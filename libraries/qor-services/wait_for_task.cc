#include <qor-services/wait_for_task.h>
#include <qor/kettar/query/PropertyCollector/FilterSpec.h>
#include <qor/kettar/query/PropertyCollector/ObjectContent.h>
#include <qor/kettar/query/PropertyCollectorStub.h>
#include <qor/qor/TaskInfo.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/localizable_message.h>

#include <thread>

namespace Qor::Services {

namespace {

using Zamli::Core::PropertyCollector;

Haldun::Ref<TaskInfo> ReadInfo(PropertyCollector& collector, Zamli::MoRef& task) {
  Haldun::Ref<Zamli::DataArray<PropertyCollector::FilterSpec>> specs(
      new Zamli::DataArray<PropertyCollector::FilterSpec>());
  Haldun::Ref<PropertyCollector::FilterSpec> spec(new PropertyCollector::FilterSpec());
  spec->GetObjects()->Append(&task);
  spec->GetPathSet()->Append("info");
  specs->Append(spec);
  Haldun::Ref<Zamli::DataArray<PropertyCollector::ObjectContent>> contents;
  collector.RetrieveContents(specs.Get(), contents);
  for (const Haldun::Ref<Zamli::Any>& element : contents->GetElements()) {
    auto* content = static_cast<PropertyCollector::ObjectContent*>(element.Get());
    if (!content->propSet) continue;
    for (const Haldun::Ref<Zamli::Any>& pair : content->propSet->GetElements()) {
      auto* value = static_cast<Zamli::KeyAnyValue*>(pair.Get());
      if (value->key != "info") continue;
      if (auto* info = dynamic_cast<TaskInfo*>(value->value.Get())) return Haldun::Ref<TaskInfo>(info);
    }
  }
  throw Haldun::InvalidStateException("the property collector answered no info for task " + task.GetId());
}

}  // namespace

Haldun::Ref<Zamli::Any> WaitForTask(Zamli::StubAdapter& adapter, Zamli::MoRef& task, const WaitOptions& options) {
  Haldun::Ref<Zamli::MoRef> collectorRef(new Zamli::MoRef("kettar.query.PropertyCollector", options.collectorId));
  Zamli::Core::PropertyCollectorStub collector(collectorRef.Get(), &adapter, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  int reported = -1;
  for (;;) {
    Haldun::Ref<TaskInfo> info = ReadInfo(collector, task);
    int progress = info->progress.ValueOr(0);
    if (info->progress.IsSet() && progress != reported && options.onProgress) options.onProgress(progress);
    if (info->progress.IsSet()) reported = progress;
    if (info->state == "success") return info->result;
    if (info->state == "error") {
      if (info->error) info->error->ThrowInternal();
      throw Haldun::InvalidStateException("task " + task.GetId() + " failed without a fault");
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      throw TaskTimeoutException("task " + task.GetId() + " did not end within " +
                                 std::to_string(options.timeout.count()) + " ms (last state: " + info->state + ")");
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(options.pollInterval, deadline - now));
  }
}

}  // namespace Qor::Services
