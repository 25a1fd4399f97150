#include <haldun/block_cache.h>
#include <haldun/per_thread.h>
#include <zamli/values/array.h>
#include <zamli/values/kept_storage.h>

#include <new>
#include <utility>

namespace Zamli::Detail {

namespace {

constexpr std::size_t kMaxKeptBytes = std::size_t{512} << 10;  // per thread
// Vectors are kept by their capacity, arrays of strings by their length,
// up to 32 elements.
constexpr std::size_t kClasses = 33;

// A released array of strings, its strings' buffers still in it.
struct KeptStringArray {
  std::vector<std::string> values;
  std::size_t bytes;
};

// The storage of one kind kept by class. A class keeps only what the thread
// has taken from it, found or not, and not given back yet: a thread that
// releases what it never copies (decoded trees, say) keeps none of it.
template <class Item>
struct Bins {
  std::vector<Item> items[kClasses];
  std::size_t wanted[kClasses] = {};
};

// A thread's kept storage, made on the first take.
struct Kept {
  Bins<std::vector<Haldun::Ref<Any>>> elements;
  Bins<KeptStringArray> stringArrays;
  std::size_t bytes = 0;
};

using ThreadKept = Haldun::PerThread<Kept>;

std::size_t BytesOf(const std::vector<Haldun::Ref<Any>>& elements) { return elements.capacity() * sizeof(Haldun::Ref<Any>); }
std::size_t BytesOf(const KeptStringArray& array) { return array.bytes; }

// Takes the last item kept in class `c` into `taken`, if there is one.
template <class Item>
bool Take(Bins<Item> Kept::*kind, std::size_t c, Item& taken) {
  Kept* kept = Haldun::kKeepReleasedMemory && c < kClasses ? ThreadKept::Get() : nullptr;
  if (kept == nullptr) return false;
  Bins<Item>& bins = kept->*kind;
  ++bins.wanted[c];
  if (bins.items[c].empty()) return false;
  taken = std::move(bins.items[c].back());
  bins.items[c].pop_back();
  kept->bytes -= BytesOf(taken);
  return true;
}

// Whether class `c` wants an item of `bytes` more.
template <class Item>
Kept* Wanting(Bins<Item> Kept::*kind, std::size_t c, std::size_t bytes) {
  Kept* kept = Haldun::kKeepReleasedMemory && c < kClasses ? ThreadKept::Find() : nullptr;
  if (kept == nullptr || (kept->*kind).wanted[c] == 0 || kept->bytes + bytes > kMaxKeptBytes) return nullptr;
  return kept;
}

template <class Item>
void Keep(Kept& kept, Bins<Item> Kept::*kind, std::size_t c, Item&& item) noexcept {
  Bins<Item>& bins = kept.*kind;
  std::size_t bytes = BytesOf(item);
  try {
    bins.items[c].push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    return;
  }
  --bins.wanted[c];
  kept.bytes += bytes;
}

// The heap bytes of an array of strings: its vector's and its strings' own.
std::size_t StringArrayBytes(const std::vector<std::string>& values) {
  std::size_t bytes = values.capacity() * sizeof(std::string);
  for (const std::string& s : values) {
    if (s.capacity() > std::string().capacity()) bytes += s.capacity() + 1;
  }
  return bytes;
}

}  // namespace

std::vector<Haldun::Ref<Any>> TakeElements(std::size_t n) {
  std::vector<Haldun::Ref<Any>> taken;
  if (n == 0 || Take(&Kept::elements, n, taken)) return taken;
  taken.reserve(n);
  return taken;
}

void KeepElements(std::vector<Haldun::Ref<Any>>& elements) noexcept {
  elements.clear();
  std::size_t capacity = elements.capacity();
  if (Kept* kept = Wanting(&Kept::elements, capacity, BytesOf(elements))) {
    Keep(*kept, &Kept::elements, capacity, std::move(elements));
  }
}

// A kept array of the same length holds strings of the lengths a copy of a
// copy has, so that each is assigned in its own buffer.
std::vector<std::string> CopyStrings(const std::vector<std::string>& from) {
  KeptStringArray taken;
  if (from.empty() || !Take(&Kept::stringArrays, from.size(), taken)) return from;
  for (std::size_t i = 0; i < from.size(); ++i) taken.values[i] = from[i];
  return std::move(taken.values);
}

void KeepStrings(std::vector<std::string>& values) noexcept {
  std::size_t n = values.size();
  if (n == 0 || Wanting(&Kept::stringArrays, n, 0) == nullptr) return;
  std::size_t bytes = StringArrayBytes(values);
  if (Kept* kept = Wanting(&Kept::stringArrays, n, bytes)) {
    Keep(*kept, &Kept::stringArrays, n, KeptStringArray{std::move(values), bytes});
  }
}

}  // namespace Zamli::Detail
