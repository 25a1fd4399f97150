#pragma once
// Memory for the small objects a program makes and drops by the thousand, such
// as the nodes of a value tree that is copied or decoded and then released.
// Each thread keeps the blocks it frees, by size, and hands them out again
// before asking the allocator; what a thread holds is bounded, and given back
// when the thread ends. A block may be freed on another thread than the one
// that took it: it then joins that thread's cache.
#include <haldun/export.h>

#include <cstddef>

namespace Haldun {

// `size` is the object's: the same value must be given to FreeSmallBlock.
HALDUN_EXPORT void* AllocateSmallBlock(std::size_t size);
HALDUN_EXPORT void FreeSmallBlock(void* block, std::size_t size) noexcept;

}  // namespace Haldun
