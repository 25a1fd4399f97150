// A client of the cluster health service: builds a request, prints it,
// encodes it, and calls the service through a stub. Until a network
// transport is at hand, the service answers in this process.
#include <pelk/qor/cluster/PelkClusterHclInfo.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <pelk/qor/pelk/PelkHclQuerySpec.h>
#include <qor/qor/ClusterComputeResource.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/calls/make_stub.h>
#include <zamli/values/compare.h>
#include <zamli/wire/codec.h>

#include <iostream>

namespace {
// Stands in for the remote service.
struct Health : Qor::Cluster::PelkZovClusterHealthSystemServer {
  using PelkZovClusterHealthSystemServer::PelkZovClusterHealthSystemServer;
  void GetHclInfoForPelkEligibleDisks(Qor::Pelk::PelkHclQuerySpec* spec,
                                      Haldun::Ref<Qor::Cluster::PelkClusterHclInfo>& result) override {
    result = Haldun::Ref<Qor::Cluster::PelkClusterHclInfo>(new Qor::Cluster::PelkClusterHclInfo());
    result->hclDbAbsent = !spec->cluster;
    result->hclDbAgeHealth = "green";
  }
};
}  // namespace

int main() {
  // [client-request]
  // A request: fields are public; managed objects are named by type and id.
  Haldun::Ref<Qor::Pelk::PelkHclQuerySpec> spec(new Qor::Pelk::PelkHclQuerySpec());
  spec->cluster = Qor::ClusterComputeResource::RefTo("domain-c7");
  spec->includeOnlyPelkControllers = true;
  std::cout << spec << "\n";  // the text form, secrets masked
  // [client-request-end]

  // [client-encode]
  Zamli::Wire::Codec json(Zamli::Wire::Encoding::kJson, Zamli::Wire::FindVersion("pelk.version.version20"));
  std::cout << json.EncodeValue(spec.Get(), *spec->_GetType()) << "\n";
  // [client-encode-end]

  // [client-values]
  Haldun::Ref<Zamli::Any> copy(spec->_Clone());       // deep copy
  auto paths = Zamli::ListDifferences(*spec, *copy);  // empty: the copy is equal
  // Bad input raises the base interface's faults, naming the path of the bad value.
  Zamli::Wire::Codec xml(Zamli::Wire::Encoding::kXml, Zamli::Wire::FindVersion("pelk.version.version20"));
  try {
    xml.DecodeValue(
        "<PelkHclQuerySpec><includeOnlyPelkControllers>maybe</includeOnlyPelkControllers></PelkHclQuerySpec>",
        *spec->_GetType());
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cout << Zamli::Wire::Describe(*e.GetFault()) << "\n";
    // kettar.fault.InvalidArgument: includeOnlyPelkControllers: not a boolean: "maybe"
  }
  // [client-values-end]

  Zamli::LocalAdapter adapter;
  adapter.Register(new Health("health-1"));
  // [client-call]
  auto health = Zamli::MakeStub<Qor::Cluster::PelkZovClusterHealthSystem>(adapter, "health-1");
  Haldun::Ref<Qor::Cluster::PelkClusterHclInfo> info;
  health->GetHclInfoForPelkEligibleDisks(spec.Get(), info);
  std::cout << info << "\n";
  try {
    health->UploadHclDb("db");  // not implemented by this server
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cout << Zamli::Wire::Describe(*e.GetFault()) << "\n";
  }
  // [client-call-end]
  return paths.empty() && info->hclDbAgeHealth.IsSet() ? 0 : 1;
}
