// The reference workload through the wire encodings: the tree encoded and
// decoded in XML and in JSON (bytes/s are those of the document), and calls
// carried through the codec in one process (request encoded, decoded,
// dispatched, answer encoded and decoded).
#include <benchmark/benchmark.h>
#include <pelk/qor/cluster/PelkClusterHealthSummary.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <value_filler.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/values/compare.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/loopback.h>

#include <string>

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

constexpr int kNodes = 1341;  // objects, the root included

const Codec& CodecFor(Encoding encoding) {
  static const Codec xml(Encoding::kXml, Zamli::Wire::FindVersion("pelk.version.version25"));
  static const Codec json(Encoding::kJson, Zamli::Wire::FindVersion("pelk.version.version25"));
  return encoding == Encoding::kXml ? xml : json;
}

Haldun::Ref<Zamli::DynamicData> Tree() { return PelkTest::ValueFiller().Build(PelkTest::WorkloadRootType()); }

void Report(benchmark::State& state, const std::string& document) {
  state.SetBytesProcessed(static_cast<int64_t>(document.size()) * static_cast<int64_t>(state.iterations()));
  state.counters["document_bytes"] = static_cast<double>(document.size());
  state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(kNodes) * state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EncodeWorkload(benchmark::State& state, Encoding encoding) {
  auto tree = Tree();
  const Codec& codec = CodecFor(encoding);
  std::string document;
  for (auto _ : state) {
    document = codec.EncodeValue(tree.Get(), PelkTest::WorkloadRootType());
    benchmark::DoNotOptimize(document.data());
  }
  Report(state, document);
}
BENCHMARK_CAPTURE(BM_EncodeWorkload, xml, Encoding::kXml)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EncodeWorkload, json, Encoding::kJson)->Unit(benchmark::kMillisecond);

void BM_DecodeWorkload(benchmark::State& state, Encoding encoding) {
  auto tree = Tree();
  const Codec& codec = CodecFor(encoding);
  const std::string document = codec.EncodeValue(tree.Get(), PelkTest::WorkloadRootType());
  if (!Zamli::AreEqual(codec.DecodeValue(document, PelkTest::WorkloadRootType()).Get(), tree.Get())) {
    state.SkipWithError("the decoded tree differs from the encoded one");
    return;
  }
  for (auto _ : state) {
    Haldun::Ref<Zamli::Any> decoded = codec.DecodeValue(document, PelkTest::WorkloadRootType());
    benchmark::DoNotOptimize(decoded.Get());
  }
  Report(state, document);
}
BENCHMARK_CAPTURE(BM_DecodeWorkload, xml, Encoding::kXml)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeWorkload, json, Encoding::kJson)->Unit(benchmark::kMillisecond);

// A server of the cluster health system: a small call, and the query whose
// answer is the workload tree.
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

// Everything between a stub's call and its return, through the wire.
struct Loopback {
  explicit Loopback(Encoding encoding)
      : adapter(0),
        wire(CodecFor(encoding), adapter),
        cluster(new Zamli::MoRef("qor.ClusterComputeResource", "domain-c8")) {
    auto tree = Tree();
    auto* summary = dynamic_cast<Qor::Cluster::PelkClusterHealthSummary*>(tree.Get());
    adapter.Register(new Health("health-1", Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary>(summary)));
    stub.Reset(new Qor::Cluster::PelkZovClusterHealthSystemStub(
        new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"), &wire, nullptr));
  }
  Zamli::LocalAdapter adapter;
  Zamli::Wire::LoopbackAdapter wire;
  Haldun::Ref<Zamli::MoRef> cluster;
  Haldun::Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> stub;
};

void BM_CallPrepareReboot(benchmark::State& state, Encoding encoding) {
  Loopback call(encoding);
  for (auto _ : state) {
    bool ok = call.stub->PrepareClusterRebootWithNAMM(call.cluster.Get(), 300);
    if (!ok) state.SkipWithError("the call answered false");
    benchmark::DoNotOptimize(ok);
  }
  state.counters["request_bytes"] = static_cast<double>(call.wire.LastRequest().size());
  state.counters["response_bytes"] = static_cast<double>(call.wire.LastResponse().size());
}
BENCHMARK_CAPTURE(BM_CallPrepareReboot, xml, Encoding::kXml)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CallPrepareReboot, json, Encoding::kJson)->Unit(benchmark::kMicrosecond);

void BM_CallQuerySummary(benchmark::State& state, Encoding encoding) {
  Loopback call(encoding);
  for (auto _ : state) {
    Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary> summary;
    call.stub->QueryClusterHealthSummary(call.cluster.Get(), {}, nullptr, {}, nullptr, true, {}, nullptr, nullptr, {},
                                         summary);
    benchmark::DoNotOptimize(summary.Get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(call.wire.LastResponse().size()) *
                          static_cast<int64_t>(state.iterations()));
  state.counters["request_bytes"] = static_cast<double>(call.wire.LastRequest().size());
  state.counters["response_bytes"] = static_cast<double>(call.wire.LastResponse().size());
}
BENCHMARK_CAPTURE(BM_CallQuerySummary, xml, Encoding::kXml)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CallQuerySummary, json, Encoding::kJson)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
