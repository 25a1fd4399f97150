#pragma once
// A server object of the cluster health system that implements a few members,
// for the suites that call it in process, over the loopback and from threads.
#include <haldun/exception.h>
#include <pelk/dp/ruv/fault/WexdServiceDown.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <zamli/values/localizable_message.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace PelkTest {

class HealthServer : public Qor::Cluster::PelkZovClusterHealthSystemServer {
 public:
  using PelkZovClusterHealthSystemServer::PelkZovClusterHealthSystemServer;
  // "fault" raises WexdServiceDown, "error" a runtime error that is no fault,
  // "plain" a std::exception, "unencodable" a fault XML cannot carry;
  // "ok" answers true, anything else false.
  bool UploadHclDb(const std::string& db) override {
    if (db == "fault") {
      Haldun::Ref<Dp::Ruv::Fault::WexdServiceDown> fault(new Dp::Ruv::Fault::WexdServiceDown());
      fault->hostname = "host-9";
      auto* message = new Zamli::LocalizableMessage();
      message->key = "wexd.down";
      message->message = "the service is down";
      fault->GetFaultMessage()->Append(message);
      fault->ThrowInternal();
    }
    if (db == "error") throw Haldun::InvalidStateException("not a fault");
    if (db == "plain") throw std::runtime_error("not one of ours");
    if (db == "unencodable") {
      Haldun::Ref<Dp::Ruv::Fault::WexdServiceDown> fault(new Dp::Ruv::Fault::WexdServiceDown());
      fault->hostname = std::string("host\0", 5);  // XML cannot carry U+0000
      fault->ThrowInternal();
    }
    ++uploads;
    return db == "ok";
  }
  std::string GetClusterStatus(Zamli::MoRef* cluster, const Haldun::Optional<std::string>& feature) override {
    return (cluster ? cluster->GetTypeName() + ":" + cluster->GetId() : "none") + "/" + feature.ValueOr("all");
  }
  // Answers with no array at all.
  void QueryPhysicalDiskHealthSummary(
      Zamli::MoRef*, Haldun::Ref<Zamli::DataArray<Qor::Host::PelkPhysicalDiskHealthSummary>>&) override {}
  std::atomic<int> uploads{0};
};

// A stub of the health system object `id`, calling through `adapter`.
inline Haldun::Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> HealthStubOn(Zamli::StubAdapter& adapter,
                                                                              const std::string& id = "health-1") {
  return Haldun::Ref<Qor::Cluster::PelkZovClusterHealthSystemStub>(new Qor::Cluster::PelkZovClusterHealthSystemStub(
      new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", id), &adapter, nullptr));
}

}  // namespace PelkTest
