#include <haldun/block_cache.h>

#include <new>
#include <utility>

namespace Haldun {

namespace {

constexpr std::size_t kGranule = 16;                         // the allocator's step
constexpr std::size_t kClasses = 64;                         // blocks of up to 1016 bytes are kept
constexpr std::size_t kMaxKeptBytes = std::size_t{1} << 20;  // per thread

// Under the address sanitizer every block goes back to the allocator at once,
// so that a use after release is still reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kKeepBlocks = false;
#else
constexpr bool kKeepBlocks = true;
#endif
#else
constexpr bool kKeepBlocks = true;
#endif

struct FreeBlock {
  FreeBlock* next;
};

// A thread's kept blocks, made on the first block it keeps.
struct Cache {
  FreeBlock* heads[kClasses] = {};
  std::size_t keptBytes = 0;
};

// Where a thread's pointer stands once the thread has ended: it holds no
// block, and blocks freed then, by destructors that run later, go straight
// to the allocator.
Cache endedCache;
Cache* const kEnded = &endedCache;

// Initial-exec: the cache is read at a fixed offset from the thread pointer
// rather than through a call on every block. Only the pointer is thread-local,
// so the library takes eight bytes of the static space a program keeps for
// libraries it opens later, and may be opened late itself.
[[gnu::tls_model("initial-exec")]] thread_local Cache* tCache = nullptr;

// Armed with the thread's first kept block; its destructor gives the kept
// blocks back when the thread ends.
struct CacheReleaser {
  bool armed = false;
  ~CacheReleaser() {
    Cache* cache = std::exchange(tCache, kEnded);
    if (cache == nullptr || cache == kEnded) return;
    for (FreeBlock*& head : cache->heads) {
      while (head != nullptr) ::operator delete(std::exchange(head, head->next));
    }
    delete cache;
  }
};

thread_local CacheReleaser tReleaser;

// The allocator's chunks carry an 8-byte header and step by 16 bytes, so
// classes step by 16 from 8 (sizes 1..8, 9..24, 25..40, ...): a block takes the
// same chunk the allocator would have given the object, and a tree stays as
// dense as it was.
std::size_t ClassOf(std::size_t size) { return (size + 7) / kGranule; }
std::size_t BlockSize(std::size_t c) { return c * kGranule + 8; }

}  // namespace

void* AllocateSmallBlock(std::size_t size) {
  std::size_t c = ClassOf(size);
  if (!kKeepBlocks || size == 0 || c >= kClasses) return ::operator new(size);
  Cache* cache = tCache;
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
  if (!kKeepBlocks || size == 0 || c >= kClasses) return ::operator delete(block);
  Cache* cache = tCache;
  if (cache == nullptr) {
    cache = new (std::nothrow) Cache;
    if (cache == nullptr) return ::operator delete(block);
    tReleaser.armed = true;  // constructs it, so that its destructor runs
    tCache = cache;
  }
  std::size_t bytes = BlockSize(c);
  if (cache == kEnded || cache->keptBytes + bytes > kMaxKeptBytes) return ::operator delete(block);
  cache->heads[c] = new (block) FreeBlock{cache->heads[c]};
  cache->keptBytes += bytes;
}

}  // namespace Haldun
