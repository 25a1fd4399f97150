#pragma once
// What one decode may allocate: the parsers' memory (documents, stacks) and
// the values it builds count against Limits::maxDecodeBytes, so that no
// document shape, however small its bytes, can make a decode take more.
#include <cstddef>
#include <string>

namespace Zamli::Wire {

// The budget of the decode running on this thread while it lives.
class DecodeBudget {
 public:
  explicit DecodeBudget(size_t limit);
  ~DecodeBudget();
  DecodeBudget(const DecodeBudget&) = delete;
  DecodeBudget& operator=(const DecodeBudget&) = delete;

  // The budget of this thread's decode; null outside one.
  static DecodeBudget* Current();

  // False, leaving the budget as it was, when `bytes` more would pass it.
  // Inline: decoders take a little for every value.
  bool Take(size_t bytes) {
    if (bytes > limit_ - used_) {
      exceeded_ = true;
      return false;
    }
    used_ += bytes;
    return true;
  }
  void Give(size_t bytes);
  bool Exceeded() const { return exceeded_; }
  // The most in use at once: the peak is noted when bytes are given back,
  // so that taking, which decoders do for every value, only adds.
  size_t Peak() const { return used_ > peak_ ? used_ : peak_; }

  // Raises the fault for a decode that needed more than its budget.
  [[noreturn]] void Fail() const;

 private:
  size_t limit_;
  size_t used_ = 0;
  size_t peak_ = 0;
  bool exceeded_ = false;
  DecodeBudget* previous_;
};

// malloc, realloc and free counted against the current budget, when there
// is one: null when the budget would be passed. Blocks allocated under one
// budget are given back only to it.
void* BudgetAllocate(size_t bytes);
void* BudgetReallocate(void* block, size_t bytes);
void BudgetFree(void* block);

// Thrown through a parser that cannot take a failed allocation; the decode
// turns it into the fault.
struct BudgetExceeded {};

// A RapidJSON allocator (for its pool and stacks) on the budget.
class CountingAllocator {
 public:
  static const bool kNeedFree = true;
  void* Malloc(size_t size);
  void* Realloc(void* block, size_t originalSize, size_t newSize);
  static void Free(void* block) { BudgetFree(block); }
};

}  // namespace Zamli::Wire
