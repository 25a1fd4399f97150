// Tasks run in the background and followed to their end, and properties of
// served objects read through the collector: all through the wire loopback.
#include <gtest/gtest.h>
#include <pelktest/pelktest/BusyFault.h>
#include <pelktest/pelktest/LockerServer.h>
#include <pelktest/pelktest/LockerStub.h>
#include <qor-services/property_collector_server.h>
#include <qor-services/task_registry.h>
#include <qor-services/wait_for_task.h>
#include <qor/kettar/fault/ManagedObjectNotFound.h>
#include <qor/kettar/query/InvalidProperty.h>
#include <qor/kettar/query/PropertyCollector/FilterSpec.h>
#include <qor/kettar/query/PropertyCollector/ObjectContent.h>
#include <qor/kettar/query/PropertyCollectorStub.h>
#include <qor/qor/TaskStub.h>
#include <qor/qor/fault/InvalidState.h>
#include <thrown.h>
#include <zamli/values/array.h>
#include <zamli/values/localizable_message.h>
#include <zamli/values/primitive.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/loopback.h>

#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Haldun::Ref;
using Zamli::MoRef;
using Zamli::Core::PropertyCollector;

// Starts a task for every drain: "ok" ends with a result once the follower
// has seen half the work done, "busy" with a fault, "stuck" when released,
// "patient" once cancelled.
class Locker : public Pelktest::LockerServer {
 public:
  Locker(const std::string& id, Qor::Services::TaskRegistry& tasks) : LockerServer(id), tasks_(tasks) {}
  std::string GetLabel() override { return "locker " + _GetRef()->GetId(); }
  void Drain(const std::string& how, Ref<MoRef>& result) override {
    result = tasks_.Start("pelktest.Locker.drain", [this, how](Qor::Services::TaskProgress& progress) {
      if (how == "patient") {
        started.set_value();
        while (!progress.IsCancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return Ref<Zamli::Any>();
      }
      if (how == "busy") {
        Ref<Pelktest::BusyFault> fault(new Pelktest::BusyFault());
        fault->retryAfter = 7;
        fault->ThrowInternal();
      }
      progress.SetProgress(50);
      (how == "stuck" ? released : halfSeen).get_future().wait();
      return Ref<Zamli::Any>(Zamli::Box(std::string("drained")));
    });
  }
  std::promise<void> halfSeen, released, started;

 private:
  Qor::Services::TaskRegistry& tasks_;
};

class Tasks : public testing::Test {
 protected:
  Tasks() {
    objects.Register(locker.Get());
    objects.Register(new Qor::Services::PropertyCollectorServer(objects));
  }
  // A test that failed half way must not leave work waiting forever.
  ~Tasks() override {
    for (std::promise<void>* gate : {&locker->halfSeen, &locker->released}) {
      try {
        gate->set_value();
      } catch (const std::future_error&) {
      }
    }
  }
  Ref<MoRef> Drain(const std::string& how) {
    Pelktest::LockerStub stub(locker->_GetRef(), &wire, nullptr);
    Ref<MoRef> task;
    stub.Drain(how, task);
    return task;
  }
  Ref<Zamli::DataArray<PropertyCollector::ObjectContent>> Retrieve(std::vector<Ref<MoRef>> refs,
                                                                   std::vector<std::string> paths,
                                                                   bool report = false) {
    Ref<PropertyCollector::FilterSpec> spec(new PropertyCollector::FilterSpec());
    for (const Ref<MoRef>& ref : refs) spec->GetObjects()->Append(ref);
    for (const std::string& path : paths) spec->GetPathSet()->Append(path);
    if (report) spec->reportMissingObjectsInResults = true;
    Ref<Zamli::DataArray<PropertyCollector::FilterSpec>> specs(new Zamli::DataArray<PropertyCollector::FilterSpec>());
    specs->Append(spec);
    Ref<MoRef> ref(new MoRef("kettar.query.PropertyCollector", Qor::Services::kPropertyCollectorId));
    Zamli::Core::PropertyCollectorStub collector(ref.Get(), &wire, nullptr);
    Ref<Zamli::DataArray<PropertyCollector::ObjectContent>> contents;
    collector.RetrieveContents(specs.Get(), contents);
    return contents;
  }
  static Qor::Services::WaitOptions Quick() {
    Qor::Services::WaitOptions options;
    options.pollInterval = std::chrono::milliseconds(1);
    return options;
  }

  Zamli::LocalAdapter objects{1};
  Qor::Services::TaskRegistry tasks{objects, {.workers = 1}};
  Ref<Locker> locker{new Locker("locker-1", tasks)};
  const Zamli::Wire::Codec codec{Zamli::Wire::Encoding::kXml, Zamli::Wire::FindVersion("pelktest.version.v2")};
  Zamli::Wire::LoopbackAdapter wire{codec, objects};
};

TEST_F(Tasks, ATaskThatSucceedsReportsItsProgressAndAnswersItsResult) {
  Ref<MoRef> task = Drain("ok");
  ASSERT_TRUE(task);
  EXPECT_EQ(task->GetTypeName(), "qor.Task");
  std::vector<int> seen;
  Qor::Services::WaitOptions options = Quick();
  options.onProgress = [&](int percent) {
    seen.push_back(percent);
    if (percent == 50) locker->halfSeen.set_value();
  };
  Ref<Zamli::Any> result = Qor::Services::WaitForTask(wire, *task, options);
  auto* text = dynamic_cast<Zamli::Primitive<std::string>*>(result.Get());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GetValue(), "drained");
  EXPECT_EQ(seen, (std::vector<int>{50, 100}));
  // An ended task cannot be cancelled.
  Qor::TaskStub stub(task.Get(), &wire, nullptr);
  EXPECT_THROW(stub.CancelTask(), Qor::Fault::InvalidState::Exception);
}

TEST_F(Tasks, ATaskThatFailsRaisesItsFaultAsItsOwnClass) {
  Ref<MoRef> task = Drain("busy");
  const auto e =
      PelkTest::Thrown<Pelktest::BusyFault::Exception>([&] { Qor::Services::WaitForTask(wire, *task, Quick()); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->GetFault()->retryAfter.ValueOr(0), 7);
}

TEST_F(Tasks, FollowingATaskThatDoesNotEndTimesOut) {
  Ref<MoRef> task = Drain("stuck");
  Qor::Services::WaitOptions options = Quick();
  options.timeout = std::chrono::milliseconds(20);
  EXPECT_THROW(Qor::Services::WaitForTask(wire, *task, options), Qor::Services::TaskTimeoutException);
  locker->released.set_value();
  EXPECT_TRUE(Qor::Services::WaitForTask(wire, *task, Quick()));
}

TEST_F(Tasks, ACancelledTaskIsToldSo) {
  Ref<MoRef> task = Drain("patient");
  locker->started.get_future().wait();
  Qor::TaskStub(task.Get(), &wire, nullptr).CancelTask();
  EXPECT_FALSE(Qor::Services::WaitForTask(wire, *task, Quick()));
  auto contents = Retrieve({task}, {"info.cancelled"});
  auto* cancelled = static_cast<Zamli::KeyAnyValue*>(contents->Get(0)->GetPropSet()->Get(0));
  EXPECT_TRUE(static_cast<Zamli::Primitive<bool>*>(cancelled->value.Get())->GetValue());
}

TEST_F(Tasks, TheCollectorReadsPropertiesOfServedObjects) {
  Ref<MoRef> task = Drain("busy");
  EXPECT_THROW(Qor::Services::WaitForTask(wire, *task, Quick()), Pelktest::BusyFault::Exception);
  Ref<MoRef> lockerRef(locker->_GetRef());
  // Properties inside a task's info, one of them unset.
  auto contents = Retrieve({task}, {"info.state", "info.descriptionId", "info.result"});
  ASSERT_EQ(contents->GetLength(), 1u);
  std::map<std::string, std::string> values;
  for (const auto& pair : contents->Get(0)->GetPropSet()->GetElements()) {
    auto* p = static_cast<Zamli::KeyAnyValue*>(pair.Get());
    values[p->key] = static_cast<Zamli::Primitive<std::string>*>(p->value.Get())->GetValue();
  }
  EXPECT_EQ(values, (std::map<std::string, std::string>{{"info.state", "error"},
                                                        {"info.descriptionId", "pelktest.Locker.drain"}}));
  EXPECT_EQ(contents->Get(0)->GetMissingSet()->GetValues(), std::vector<std::string>{"info.result"});
  // A property of another served object.
  contents = Retrieve({lockerRef}, {"label"});
  auto* label = static_cast<Zamli::KeyAnyValue*>(contents->Get(0)->GetPropSet()->Get(0));
  EXPECT_EQ(static_cast<Zamli::Primitive<std::string>*>(label->value.Get())->GetValue(), "locker locker-1");

  Ref<MoRef> gone(new MoRef("pelktest.Locker", "gone"));
  EXPECT_THROW(Retrieve({lockerRef}, {"info"}), Zamli::Core::InvalidProperty::Exception);
  EXPECT_THROW(Retrieve({task}, {"info.nothing"}), Zamli::Core::InvalidProperty::Exception);
  EXPECT_THROW(Retrieve({gone}, {"label"}), Zamli::Fault::ManagedObjectNotFound::Exception);
  contents = Retrieve({gone}, {"label"}, true);
  ASSERT_EQ(contents->GetLength(), 1u);
  EXPECT_EQ(contents->Get(0)->obj->GetId(), "gone");
}

}  // namespace
