// The reference workload through the wire encodings: the tree encoded and
// decoded in XML and in JSON (bytes/s are those of the document), and calls
// carried through the codec in one process (request encoded, decoded,
// dispatched, answer encoded and decoded).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <pelk/qor/cluster/PelkClusterHealthSummary.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <value_filler.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/loopback.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "workload_health.h"

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

// Shapes an attacker would choose, about a megabyte each, decoded against
// the workload's figures above: decoding must stay linear in the bytes.
std::string Repeated(const std::string& piece, size_t bytes) {
  std::string out;
  while (out.size() < bytes) out += piece;
  return out;
}

// A JSON array of `item` repeated.
std::string JsonArray(const std::string& item, size_t bytes) {
  std::string out = "[" + Repeated(item + ",", bytes);
  out.back() = ']';
  return out;
}

constexpr size_t kShapeBytes = size_t{1} << 20;

std::string RowsDocument(Encoding encoding, int rowsPerTree) {
  const auto& rowType = static_cast<const Zamli::DataObjectType&>(
      *Zamli::TypeRegistry::Instance().FindByName("qor.cluster.PelkClusterHealthResultRow"));
  const Zamli::DataTypeInfo& records = *rowType.GetDataTypeInfo();
  const Zamli::PropertyRef& nested = *rowType.FindProperty("nestedRows");
  // A row whose nested rows go as deep as the depth limit allows.
  Haldun::Ref<Zamli::Any> root(records.createInstance());
  auto* at = static_cast<Zamli::DynamicData*>(root.Get());
  for (int i = 0; i < rowsPerTree; ++i) {
    auto* next = static_cast<Zamli::DynamicData*>(records.createInstance());
    Haldun::Ref<Zamli::Any> array(records.createArray());
    static_cast<Zamli::DataArrayBase*>(array.Get())->AppendAny(next);
    Zamli::Any* raw = array.Get();
    nested.owner->GetDataTypeInfo()->setProperty(at, nested.index, &raw);
    at = next;
  }
  const size_t one = CodecFor(encoding).EncodeValue(root.Get(), rowType).size();
  Haldun::Ref<Zamli::Any> rows(records.createArray());
  for (size_t bytes = 0; bytes < kShapeBytes; bytes += one) {
    static_cast<Zamli::DataArrayBase*>(rows.Get())->AppendAny(root.Get());
  }
  return CodecFor(encoding).EncodeValue(rows.Get(), *rowType.GetArrayType());
}

struct Shape {
  const Zamli::Type* type;
  std::string document;
};

Shape HostileShape(Encoding encoding, int shape) {
  const Zamli::Type& string = *Zamli::GetNoType<std::string>();
  const Zamli::Type& ints = *Zamli::GetNoType<int>()->GetArrayType();
  const Zamli::Type& anys = *Zamli::GetNoType<Zamli::Any>()->GetArrayType();
  const Zamli::Type& rows =
      *Zamli::TypeRegistry::Instance().FindByName("qor.cluster.PelkClusterHealthResultRow")->GetArrayType();
  const bool xml = encoding == Encoding::kXml;
  switch (shape) {
    // XML: one text in many pieces and a reference after them.
    case 0:  // comments (XML), escapes (JSON)
      return xml ? Shape{&string, "<string>" + Repeated("a<!---->", kShapeBytes) + "&amp;</string>"}
                 : Shape{&string, "\"" + Repeated("\\u0061", kShapeBytes) + "\""};
    case 1:  // CDATA sections (XML), long numbers in boxes (JSON)
      return xml ? Shape{&string, "<string>" + Repeated("<![CDATA[a]]>", kShapeBytes) + "&amp;</string>"}
                 : Shape{&anys, JsonArray("{\"_typeName\":\"float\",\"_value\":0.5" + std::string(200, '0') + "1}",
                                          kShapeBytes)};
    case 2:  // processing instructions (XML), long strings in boxes (JSON)
      return xml ? Shape{&string, "<string>" + Repeated("a<?p?>", kShapeBytes) + "&amp;</string>"}
                 : Shape{&anys, JsonArray("{\"_typeName\":\"string\",\"_value\":\"" + std::string(200, 'v') + "\"}",
                                          kShapeBytes)};
    case 3: {  // many attributes with long names (XML), tiny boxes (JSON)
      if (!xml) return Shape{&anys, JsonArray("{\"_typeName\":\"string\",\"_value\":\"\"}", kShapeBytes)};
      std::string attributes;
      for (int i = 0; attributes.size() < kShapeBytes; ++i) {
        attributes += " a" + std::string(100, 'n') + std::to_string(i) + "=\"\"";
      }
      return Shape{&string, "<string" + attributes + ">a</string>"};
    }
    case 4:  // values nested as deep as the limit allows
      return Shape{&rows, RowsDocument(encoding, 31)};
    default:  // many tiny array items
      return xml ? Shape{&ints, "<ArrayOfInt>" + Repeated("<int>1</int>", kShapeBytes) + "</ArrayOfInt>"}
                 : Shape{&ints, JsonArray("1", kShapeBytes)};
  }
}

void BM_DecodeHostile(benchmark::State& state, Encoding encoding) {
  Shape shape = HostileShape(encoding, static_cast<int>(state.range(0)));
  const Codec& codec = CodecFor(encoding);
  try {
    codec.DecodeValue(shape.document, *shape.type);
  } catch (const Zamli::MethodFault::Exception& e) {
    state.SkipWithError(Zamli::Wire::Describe(*e.GetFault()).c_str());
    return;
  }
  for (auto _ : state) {
    Haldun::Ref<Zamli::Any> decoded = codec.DecodeValue(shape.document, *shape.type);
    benchmark::DoNotOptimize(decoded.Get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(shape.document.size()) * static_cast<int64_t>(state.iterations()));
  state.counters["document_bytes"] = static_cast<double>(shape.document.size());
}
// 0 pieces, 1 sections or long numbers, 2 instructions or long strings,
// 3 attributes or tiny strings, 4 deep nesting, 5 tiny items.
BENCHMARK_CAPTURE(BM_DecodeHostile, xml, Encoding::kXml)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeHostile, json, Encoding::kJson)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// The process's resident memory at its peak since the last reset, and now.
long ResidentKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

// Peak memory of one decode of an ordinary document at the size limit (the
// workload tree, repeated in an array), as a multiple of the document: what
// the decode adds to the document it is given.
void BM_DecodePeakAtTheLimit(benchmark::State& state, Encoding encoding) {
  const Codec& codec = CodecFor(encoding);
  const Zamli::Type& type = *PelkTest::WorkloadRootType().GetArrayType();
  auto tree = Tree();
  const size_t one = codec.EncodeValue(tree.Get(), PelkTest::WorkloadRootType()).size();
  std::string document;
  {
    Haldun::Ref<Zamli::Any> trees(PelkTest::WorkloadRootType().GetDataTypeInfo()->createArray());
    const size_t copies = (codec.GetLimits().maxDocumentBytes - 4096) / one;
    for (size_t i = 0; i < copies; ++i) static_cast<Zamli::DataArrayBase*>(trees.Get())->AppendAny(tree.Get());
    document = codec.EncodeValue(trees.Get(), type);
  }
  tree.Reset();
  double multiple = 0;
  for (auto _ : state) {
    malloc_trim(0);                                 // so that memory the decode takes shows as new pages
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak
    const long before = ResidentKiB("VmRSS:");
    {
      Haldun::Ref<Zamli::Any> decoded = codec.DecodeValue(document, type);
      benchmark::DoNotOptimize(decoded.Get());
    }
    multiple = static_cast<double>(ResidentKiB("VmHWM:") - before) * 1024 / static_cast<double>(document.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(document.size()) * static_cast<int64_t>(state.iterations()));
  state.counters["document_bytes"] = static_cast<double>(document.size());
  state.counters["peak_per_document_byte"] = multiple;
}
BENCHMARK_CAPTURE(BM_DecodePeakAtTheLimit, xml, Encoding::kXml)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePeakAtTheLimit, json, Encoding::kJson)->Iterations(1)->Unit(benchmark::kMillisecond);

using PelkBench::Health;

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
