// Calls over HTTP on loopback with keep-alive: a small call and a call
// answered with the reference workload, in XML and JSON, plain and TLS, from
// 1 and 16 client threads (calls/s, p50 and p99 in µs); the workload call
// through the in-process wire loopback, to compare; the server's heap per
// idle connection.
#include <benchmark/benchmark.h>
#include <http_support.h>
#include <malloc.h>
#include <pelk/qor/cluster/PelkClusterHealthSummary.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <value_filler.h>
#include <zamli/wire/loopback.h>

#include <algorithm>
#include <thread>

#include "workload_health.h"

namespace {

using Encoding = Zamli::Wire::Encoding;
using Clock = std::chrono::steady_clock;

using PelkBench::Health;

Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary> Summary() {
  auto tree = PelkTest::ValueFiller().Build(PelkTest::WorkloadRootType());
  return Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary>(
      dynamic_cast<Qor::Cluster::PelkClusterHealthSummary*>(tree.Get()));
}

using Stub = Qor::Cluster::PelkZovClusterHealthSystemStub;

// A server of the health system and one client adapter, plain or TLS.
struct Served {
  Served(Encoding encoding, bool tls) : objects(1) {
    objects.Register(new Health("health-1", Summary()));
    Zamli::Http::ServerOptions options;
    options.plainHttp = !tls;
    if (tls) {
      options.certificateFile = HttpTest::TestCertificates().certificate;
      options.keyFile = HttpTest::TestCertificates().key;
    }
    server = std::make_unique<Zamli::Http::HttpServer>(objects, options);
    Zamli::Http::ClientOptions client;
    client.endpoint = std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(server->Ports()[0]);
    client.encoding = encoding;
    client.version = "pelk.version.version25";
    if (tls) client.caFile = HttpTest::TestCertificates().ca;
    adapter = std::make_unique<Zamli::Http::HttpAdapter>(client);
  }
  Haldun::Ref<Stub> NewStub() {
    return Haldun::Ref<Stub>(
        new Stub(new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"), adapter.get(), nullptr));
  }
  Zamli::LocalAdapter objects;
  std::unique_ptr<Zamli::Http::HttpServer> server;
  std::unique_ptr<Zamli::Http::HttpAdapter> adapter;
};

bool SmallCall(Stub& stub, Zamli::MoRef* cluster) { return stub.PrepareClusterRebootWithNAMM(cluster, 300); }

bool WorkloadCall(Stub& stub, Zamli::MoRef* cluster) {
  Haldun::Ref<Qor::Cluster::PelkClusterHealthSummary> summary;
  stub.QueryClusterHealthSummary(cluster, {}, nullptr, {}, nullptr, true, {}, nullptr, nullptr, {}, summary);
  return summary != nullptr;
}

// Each iteration: `clients` threads making `calls` calls each; the time is
// the wall time of the iteration, the latencies each call's.
void RunCalls(benchmark::State& state, Encoding encoding, bool tls, bool workload) {
  const int clients = static_cast<int>(state.range(0));
  const int calls = workload ? 4 : 200;
  Served served(encoding, tls);
  Haldun::Ref<Zamli::MoRef> cluster(new Zamli::MoRef("qor.ClusterComputeResource", "domain-c8"));
  auto call = workload ? &WorkloadCall : &SmallCall;
  std::vector<double> latencies;
  long total = 0;
  for (auto _ : state) {
    std::vector<std::vector<double>> perThread(static_cast<size_t>(clients));
    std::atomic<bool> failed{false};
    auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < clients; ++t) {
      threads.emplace_back([&, t] {
        Haldun::Ref<Stub> stub = served.NewStub();
        for (int i = 0; i < calls; ++i) {
          auto begin = Clock::now();
          if (!call(*stub, cluster.Get())) failed = true;
          perThread[static_cast<size_t>(t)].push_back(
              std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
        }
      });
    }
    for (auto& t : threads) t.join();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (failed) state.SkipWithError("a call failed");
    for (auto& l : perThread) latencies.insert(latencies.end(), l.begin(), l.end());
    total += clients * calls;
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["calls_per_s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
  state.counters["p50_us"] = latencies[latencies.size() / 2];
  state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
}

void BM_HttpSmallCall(benchmark::State& state, Encoding encoding, bool tls) { RunCalls(state, encoding, tls, false); }
void BM_HttpWorkloadCall(benchmark::State& state, Encoding encoding, bool tls) { RunCalls(state, encoding, tls, true); }

#define HTTP_BENCH(name, unit)                                                                               \
  BENCHMARK_CAPTURE(name, xml_plain, Encoding::kXml, false)->Arg(1)->Arg(16)->UseManualTime()->Unit(unit);   \
  BENCHMARK_CAPTURE(name, json_plain, Encoding::kJson, false)->Arg(1)->Arg(16)->UseManualTime()->Unit(unit); \
  BENCHMARK_CAPTURE(name, xml_tls, Encoding::kXml, true)->Arg(1)->Arg(16)->UseManualTime()->Unit(unit);      \
  BENCHMARK_CAPTURE(name, json_tls, Encoding::kJson, true)->Arg(1)->Arg(16)->UseManualTime()->Unit(unit);
HTTP_BENCH(BM_HttpSmallCall, benchmark::kMillisecond)
HTTP_BENCH(BM_HttpWorkloadCall, benchmark::kMillisecond)

// The workload call without the network, for the ratio.
void BM_LoopbackWorkloadCall(benchmark::State& state, Encoding encoding) {
  Zamli::LocalAdapter objects(0);
  objects.Register(new Health("health-1", Summary()));
  Zamli::Wire::Codec codec(encoding, Zamli::Wire::FindVersion("pelk.version.version25"));
  Zamli::Wire::LoopbackAdapter wire(codec, objects);
  Stub stub(new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"), &wire, nullptr);
  Haldun::Ref<Zamli::MoRef> cluster(new Zamli::MoRef("qor.ClusterComputeResource", "domain-c8"));
  for (auto _ : state) benchmark::DoNotOptimize(WorkloadCall(stub, cluster.Get()));
}
BENCHMARK_CAPTURE(BM_LoopbackWorkloadCall, xml, Encoding::kXml)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoopbackWorkloadCall, json, Encoding::kJson)->Unit(benchmark::kMillisecond);

// The server's heap per idle connection: 256 connections that sent nothing.
void BM_IdleConnectionMemory(benchmark::State& state) {
  Served served(Encoding::kJson, false);
  constexpr int kConnections = 256;
  for (auto _ : state) {
    size_t before = mallinfo2().uordblks;
    std::vector<std::unique_ptr<HttpTest::RawSocket>> sockets;
    for (int i = 0; i < kConnections; ++i) {
      sockets.push_back(std::make_unique<HttpTest::RawSocket>(served.server->Ports()[0]));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the server accept them all
    state.counters["heap_bytes_per_idle_connection"] =
        static_cast<double>(mallinfo2().uordblks - before) / kConnections;
  }
}
BENCHMARK(BM_IdleConnectionMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
