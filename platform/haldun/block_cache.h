#pragma once
// Memory for the small objects a program makes and drops by the thousand, such
// as the nodes of a value tree that is copied or decoded and then released.
// Each thread keeps the blocks it frees, by size, and hands them out again
// before asking the allocator; what a thread holds is bounded, and given back
// when the thread ends. A block may be freed on another thread than the one
// that took it: it then joins that thread's cache.

#include <cstddef>

namespace Haldun {

// Under the address sanitizer released memory goes back to the allocator at
// once, so that a use after release is still reported.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kKeepReleasedMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kKeepReleasedMemory = false;
#else
inline constexpr bool kKeepReleasedMemory = true;
#endif
#else
inline constexpr bool kKeepReleasedMemory = true;
#endif

// `size` is the object's: the same value must be given to FreeSmallBlock.
// Not exported: the values' own operator new and delete, in the same
// library, are the callers, and reach them without an indirection.
void* AllocateSmallBlock(std::size_t size);
void FreeSmallBlock(void* block, std::size_t size) noexcept;

}  // namespace Haldun
