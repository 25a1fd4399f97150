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
struct KeptStrings {
  std::vector<std::string> values;
  std::size_t bytes;
};

// A thread's kept storage, made on the first vector it keeps.
struct Kept {
  std::vector<std::vector<Haldun::Ref<Any>>> elements[kClasses];
  std::vector<KeptStrings> strings[kClasses];
  std::size_t bytes = 0;
};

using ThreadKept = Haldun::PerThread<Kept>;

// Where this thread keeps `bytes` more; null when it keeps nothing more.
Kept* Room(std::size_t bytes) noexcept {
  if (!Haldun::kKeepReleasedMemory) return nullptr;
  Kept* kept = ThreadKept::Get();
  return kept != nullptr && kept->bytes + bytes <= kMaxKeptBytes ? kept : nullptr;
}

// The heap bytes of an array of strings: its vector's and its strings' own.
std::size_t BytesOf(const std::vector<std::string>& values) {
  std::size_t bytes = values.capacity() * sizeof(std::string);
  for (const std::string& s : values) {
    if (s.capacity() > std::string().capacity()) bytes += s.capacity() + 1;
  }
  return bytes;
}

}  // namespace

std::vector<Haldun::Ref<Any>> TakeElements(std::size_t n) {
  std::vector<Haldun::Ref<Any>> taken;
  if (n == 0) return taken;
  Kept* kept = ThreadKept::Find();
  if (n < kClasses && kept != nullptr && !kept->elements[n].empty()) {
    taken = std::move(kept->elements[n].back());
    kept->elements[n].pop_back();
    kept->bytes -= n * sizeof(Haldun::Ref<Any>);
    return taken;
  }
  taken.reserve(n);
  return taken;
}

void KeepElements(std::vector<Haldun::Ref<Any>>& elements) noexcept {
  elements.clear();
  std::size_t capacity = elements.capacity();
  if (capacity == 0 || capacity >= kClasses) return;
  Kept* kept = Room(capacity * sizeof(Haldun::Ref<Any>));
  if (kept == nullptr) return;
  try {
    kept->elements[capacity].push_back(std::move(elements));
  } catch (const std::bad_alloc&) {
    return;
  }
  kept->bytes += capacity * sizeof(Haldun::Ref<Any>);
}

// A kept array of the same length holds strings of the lengths a copy of a
// copy has, so that each is assigned in its own buffer.
std::vector<std::string> CopyStrings(const std::vector<std::string>& from) {
  std::size_t n = from.size();
  Kept* kept = ThreadKept::Find();
  if (n == 0 || n >= kClasses || kept == nullptr || kept->strings[n].empty()) return from;
  KeptStrings& last = kept->strings[n].back();
  std::vector<std::string> to = std::move(last.values);
  kept->bytes -= last.bytes;
  kept->strings[n].pop_back();
  for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
  return to;
}

void KeepStrings(std::vector<std::string>& values) noexcept {
  std::size_t n = values.size();
  if (n == 0 || n >= kClasses) return;
  std::size_t bytes = BytesOf(values);
  Kept* kept = Room(bytes);
  if (kept == nullptr) return;
  try {
    kept->strings[n].push_back(KeptStrings{std::move(values), bytes});
  } catch (const std::bad_alloc&) {
    return;
  }
  kept->bytes += bytes;
}

}  // namespace Zamli::Detail
