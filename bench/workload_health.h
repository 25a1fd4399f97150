#pragma once
// A server of the cluster health system for the call benchmarks: a small
// call, and the query whose answer is the workload tree.
#include <pelk/qor/cluster/PelkClusterHealthSummary.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>

#include <string>
#include <utility>

namespace PelkBench {

class Health : public Qor::Cluster::PelkZovClusterHealthSystemServer {
 public:
  Health(const std::string& id, Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary> summary)
      : PelkZovClusterHealthSystemServer(id), summary_(std::move(summary)) {}
  bool PrepareClusterRebootWithNAMM(Zamli::MoRef* cluster, const Haldun::Optional<int>& scheduleTime) override {
    return cluster != nullptr && scheduleTime.IsSet();
  }
  void QueryClusterHealthSummary(Zamli::MoRef*, const Haldun::Optional<int>&, Zamli::Array<std::string>*,
                                 const Haldun::Optional<bool>&, Zamli::Array<std::string>*,
                                 const Haldun::Optional<bool>&, const Haldun::Optional<std::string>&,
                                 Zamli::DataArray<Zamli::MoRef>*, Qor::Cluster::PelkClusterHealthQuerySpec*,
                                 const Haldun::Optional<bool>&,
                                 Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary>& result) override {
    result = summary_;
  }

 private:
  Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary> summary_;
};

}  // namespace PelkBench
