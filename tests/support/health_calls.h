#pragma once
// Calls of the cluster health system served by a HealthServer, and what
// must come back, whichever way the calls travel (in process or encoded).
#include <gtest/gtest.h>
#include <health_server.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <pelk/qor/host/PelkPhysicalDiskHealthSummary.h>
#include <qor/kettar/fault/NotImplemented.h>
#include <qor/qor/fault/QorFault.h>
#include <zamli/values/primitive.h>

#include <atomic>
#include <thread>
#include <vector>

namespace PelkTest {

using HealthStub = Qor::Cluster::PelkZovClusterHealthSystemStub;

// Answers, an absent array, an unimplemented member and a fault of its own class.
inline void CheckHealthCalls(HealthStub& stub) {
  EXPECT_TRUE(stub.UploadHclDb("ok"));
  EXPECT_FALSE(stub.UploadHclDb("other"));
  Haldun::Ref<Zamli::MoRef> cluster(new Zamli::MoRef("qor.ClusterComputeResource", "c-1"));
  EXPECT_EQ(stub.GetClusterStatus(cluster.Get(), {}), "qor.ClusterComputeResource:c-1/all");
  EXPECT_EQ(stub.GetClusterStatus(nullptr, std::string("")), "none/") << "an empty string is not an absent one";
  Haldun::Ref<Zamli::DataArray<Qor::Host::PelkPhysicalDiskHealthSummary>> disks;
  stub.QueryPhysicalDiskHealthSummary(cluster.Get(), disks);
  ASSERT_NE(disks, nullptr) << "no array comes back as an empty one";
  EXPECT_EQ(disks->GetLength(), 0u);
  EXPECT_THROW(stub.QueryPelkClusterHealthCheckInterval(cluster.Get()), Zamli::Fault::NotImplemented::Exception);
  try {
    stub.UploadHclDb("fault");
    ADD_FAILURE() << "no fault";
  } catch (const Qor::Fault::QorFault::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Dp::Ruv::Fault::WexdServiceDown::Exception));
    auto* fault = dynamic_cast<Dp::Ruv::Fault::WexdServiceDown*>(e.GetFault());
    ASSERT_NE(fault, nullptr);
    EXPECT_EQ(fault->hostname, "host-9");
    ASSERT_NE(fault->faultMessage, nullptr);
    ASSERT_EQ(fault->faultMessage->GetLength(), 1u);
    EXPECT_EQ(fault->faultMessage->Get(0)->message.ValueOr(""), "the service is down");
  }
}

// Synchronous and asynchronous calls from several threads at once; the
// asynchronous calls of every other thread end in a fault.
inline void CheckCallsFromThreads(HealthStub& stub, int threads, int calls) {
  std::atomic<int> completed{0}, failed{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      std::vector<Haldun::Ref<Haldun::System::ScheduledItem>> items;
      for (int i = 0; i < calls; ++i) {
        EXPECT_TRUE(stub.UploadHclDb("ok"));
        Haldun::Ref<Haldun::System::ScheduledItem> item;
        stub.UploadHclDb(
            t % 2 ? "ok" : "fault",
            [&](Haldun::System::ScheduledItem*, Haldun::Exception* error, Zamli::Any* result) {
              if (error != nullptr) {
                failed += dynamic_cast<Dp::Ruv::Fault::WexdServiceDown::Exception*>(error) != nullptr;
              } else if (auto* box = dynamic_cast<Zamli::Primitive<bool>*>(result); box && box->GetValue()) {
                ++completed;
              }
            },
            item);
        items.push_back(item);
      }
      for (auto& item : items) item->Wait();
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_EQ(completed.load(), threads / 2 * calls);
  EXPECT_EQ(failed.load(), (threads - threads / 2) * calls);
}

}  // namespace PelkTest
