#include <haldun/block_cache.h>
#include <haldun/per_thread.h>

#include <new>
#include <utility>

namespace Haldun {

namespace {

constexpr std::size_t kGranule = 16;                         // the allocator's step
constexpr std::size_t kClasses = 64;                         // blocks of up to 1016 bytes are kept
constexpr std::size_t kMaxKeptBytes = std::size_t{1} << 20;  // per thread

struct FreeBlock {
  FreeBlock* next;
};

// A thread's kept blocks, made on the first block it keeps; given back when
// the thread ends.
struct Cache {
  FreeBlock* heads[kClasses] = {};
  std::size_t keptBytes = 0;
  ~Cache() {
    for (FreeBlock*& head : heads) {
      while (head != nullptr) ::operator delete(std::exchange(head, head->next));
    }
  }
};

using ThreadCache = PerThread<Cache>;

// The allocator's chunks carry an 8-byte header and step by 16 bytes, so
// classes step by 16 from 8 (sizes 1..8, 9..24, 25..40, ...): a block takes the
// same chunk the allocator would have given the object, and a tree stays as
// dense as it was.
std::size_t ClassOf(std::size_t size) { return (size + 7) / kGranule; }
std::size_t BlockSize(std::size_t c) { return c * kGranule + 8; }

}  // namespace

void* AllocateSmallBlock(std::size_t size) {
  std::size_t c = ClassOf(size);
  if (!kKeepReleasedMemory || size == 0 || c >= kClasses) return ::operator new(size);
  Cache* cache = ThreadCache::Find();
  if (cache != nullptr) {
    if (FreeBlock* block = cache->heads[c]) {
      cache->heads[c] = block->next;
      cache->keptBytes -= BlockSize(c);
      return block;
    }
  }
  // Every block of a class has the class's full size, so that any of them
  // can serve any size of the class.
  return ::operator new(BlockSize(c));
}

void FreeSmallBlock(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  std::size_t c = ClassOf(size);
  if (!kKeepReleasedMemory || size == 0 || c >= kClasses) return ::operator delete(block);
  Cache* cache = ThreadCache::Get();
  std::size_t bytes = BlockSize(c);
  if (cache == nullptr || cache->keptBytes + bytes > kMaxKeptBytes) return ::operator delete(block);
  cache->heads[c] = new (block) FreeBlock{cache->heads[c]};
  cache->keptBytes += bytes;
}

}  // namespace Haldun
