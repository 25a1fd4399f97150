// The reference workload through the data object classes: build, walk,
// clone, compare, diff, and single-property access through the records.
#include <benchmark/benchmark.h>
#include <value_filler.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>

namespace {

constexpr int kNodes = 1341;  // objects, the root included

Haldun::Ref<Zamli::DynamicData> Tree(bool changed = false) {
  PelkTest::FillOptions options;
  if (changed) options.changed = [](long c) { return c % 100 == 37; };
  return PelkTest::ValueFiller(options).Build(PelkTest::WorkloadRootType());
}

void PerNode(benchmark::State& state) {
  state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(kNodes) * state.iterations(),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Reads every field once: the baseline the other operations are held to.
size_t Walk(const Zamli::Any* value);

size_t WalkObject(const Zamli::DynamicData* object) {
  size_t sum = 1;
  auto* self = const_cast<Zamli::DynamicData*>(object);
  for (const Zamli::PropertyRef& p : object->_GetDataType()->GetAllProperties()) {
    const void* addr = p.owner->GetDataTypeInfo()->getPropertyAddr(self, p.index);
    if (addr == nullptr) continue;
    if (!p.IsInline()) {
      sum += Walk(static_cast<const Zamli::Any*>(addr));
    } else {
      sum += *static_cast<const unsigned char*>(addr);
    }
  }
  return sum;
}

size_t Walk(const Zamli::Any* value) {
  if (auto* object = dynamic_cast<const Zamli::DynamicData*>(value)) return WalkObject(object);
  if (auto* array = dynamic_cast<const Zamli::DataArrayBase*>(value)) {
    size_t sum = 0;
    for (const auto& e : array->GetElements()) sum += Walk(e.Get());
    return sum;
  }
  return 1;
}

void BM_BuildTree(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Tree());
  PerNode(state);
}
BENCHMARK(BM_BuildTree);

void BM_Walk(benchmark::State& state) {
  auto tree = Tree();
  for (auto _ : state) benchmark::DoNotOptimize(Walk(tree.Get()));
  PerNode(state);
}
BENCHMARK(BM_Walk);

void BM_Clone(benchmark::State& state) {
  auto tree = Tree();
  for (auto _ : state) {
    Haldun::Ref<Zamli::Any> copy(tree->_Clone());
    benchmark::DoNotOptimize(copy.Get());
  }
  PerNode(state);
}
BENCHMARK(BM_Clone);

void BM_Compare(benchmark::State& state) {
  auto tree = Tree();
  Haldun::Ref<Zamli::Any> copy(tree->_Clone());
  for (auto _ : state) {
    bool equal = tree->_IsEqual(copy.Get(), false);
    if (!equal) state.SkipWithError("the clone differs");
    benchmark::DoNotOptimize(equal);
  }
  PerNode(state);
}
BENCHMARK(BM_Compare);

void BM_Diff(benchmark::State& state) {
  auto a = Tree();
  auto b = Tree(true);
  for (auto _ : state) {
    auto diffs = Zamli::ListDifferences(*a, *b);
    if (diffs.size() != 85) state.SkipWithError("expected 85 differences");
    benchmark::DoNotOptimize(diffs.data());
  }
  PerNode(state);
}
BENCHMARK(BM_Diff);

// One property by index through the record functions of the root's type.
void BM_GetPropertyByIndex(benchmark::State& state) {
  auto tree = Tree();
  const auto& type = PelkTest::WorkloadRootType();
  const Zamli::PropertyRef* p = type.FindProperty("overallHealth");
  std::string out;
  for (auto _ : state) {
    p->owner->GetDataTypeInfo()->getProperty(tree.Get(), p->index, &out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_GetPropertyByIndex);

void BM_SetPropertyByIndex(benchmark::State& state) {
  auto tree = Tree();
  const auto& type = PelkTest::WorkloadRootType();
  const Zamli::PropertyRef* p = type.FindProperty("healthScore");
  int value = 0;
  for (auto _ : state) {
    ++value;
    p->owner->GetDataTypeInfo()->setProperty(tree.Get(), p->index, &value);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SetPropertyByIndex);

}  // namespace

BENCHMARK_MAIN();
