// A server of the cluster health service: implements two of its members and
// serves it through the wire encodings, as a network transport would: each
// call arrives as a request document and leaves as a response or a fault
// document.
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <qor/qor/ClusterComputeResource.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/calls/make_stub.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/loopback.h>

#include <iostream>
#include <string>

// [server-implementation]
// Every member not overridden answers with the not-implemented fault, which
// names the member.
class HealthService : public Qor::Cluster::PelkZovClusterHealthSystemServer {
 public:
  using PelkZovClusterHealthSystemServer::PelkZovClusterHealthSystemServer;

  bool UploadHclDb(const std::string& db) override {
    uploads_ += 1;
    return !db.empty();
  }
  void GetPelkClusterSilentChecks(Zamli::MoRef* cluster, Haldun::Ref<Zamli::Array<std::string>>& result) override {
    result = Haldun::Ref<Zamli::Array<std::string>>(new Zamli::Array<std::string>());
    if (cluster != nullptr) result->Append("pelk.disk.smart");
  }

 private:
  int uploads_ = 0;
};
// [server-implementation-end]

int main() {
  // [server-serve]
  Zamli::LocalAdapter objects;  // the objects served, by id
  objects.Register(new HealthService("health-1"));
  Zamli::Wire::Codec xml(Zamli::Wire::Encoding::kXml, Zamli::Wire::FindVersion("pelk.version.version20"));
  // A transport hands each request document to Zamli::Wire::Serve(xml, objects, document);
  // the loopback does the same in this process.
  Zamli::Wire::LoopbackAdapter wire(xml, objects);
  auto health = Zamli::MakeStub<Qor::Cluster::PelkZovClusterHealthSystem>(wire, "health-1");
  bool uploaded = health->UploadHclDb("db");
  std::cout << wire.LastRequest() << "\n" << wire.LastResponse() << "\n";
  // [server-serve-end]

  Haldun::Ref<Zamli::Array<std::string>> checks;
  health->GetPelkClusterSilentChecks(Qor::ClusterComputeResource::RefTo("domain-c7").Get(), checks);
  std::cout << checks << "\n";
  try {
    health->PurgeHclFiles(nullptr);
    return 1;
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cout << Zamli::Wire::Describe(*e.GetFault()) << "\n";
  }
  return uploaded && checks->GetLength() == 1 ? 0 : 1;
}
