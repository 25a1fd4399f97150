#pragma once
// The storage of arrays that values release, kept by the releasing thread
// for the copies it makes next: a tree copied and dropped again and again
// then takes the vectors of its arrays, and the strings in them, from what
// the last one left rather than from the allocator, one call each. A thread
// keeps no more than its copies have taken and not given back, within a
// bound, and gives it back when it ends, as with the blocks of the values
// themselves (haldun/block_cache.h). Plain arrays of strings go through
// CopyStrings and KeepStrings (array.h).
#include <haldun/ref.h>

#include <cstddef>
#include <vector>

namespace Zamli {

class Any;

namespace Detail {

// An empty vector with room for `n` elements.
std::vector<Haldun::Ref<Any>> TakeElements(std::size_t n);
// Releases the elements, and keeps the vector's storage.
void KeepElements(std::vector<Haldun::Ref<Any>>& elements) noexcept;

}  // namespace Detail

}  // namespace Zamli
