#include <zamli/wire/budget.h>
#include <zamli/wire/errors.h>

#include <cstdlib>
#include <new>

namespace Zamli::Wire {

namespace {

thread_local DecodeBudget* tCurrent = nullptr;

// Before every block: the budget it was counted against, and its size.
struct alignas(std::max_align_t) Header {
  DecodeBudget* owner;
  size_t size;
};

Header* HeaderOf(void* block) { return static_cast<Header*>(block) - 1; }

}  // namespace

DecodeBudget::DecodeBudget(size_t limit) : limit_(limit), previous_(tCurrent) { tCurrent = this; }
DecodeBudget::~DecodeBudget() { tCurrent = previous_; }

DecodeBudget* DecodeBudget::Current() { return tCurrent; }

void DecodeBudget::Give(size_t bytes) {
  if (used_ > peak_) peak_ = used_;
  used_ = bytes > used_ ? 0 : used_ - bytes;
}

void DecodeBudget::Fail() const {
  Wire::Fail(Problem::kInvalidArgument, "",
             "decoding the document needs more memory than the limit of " + std::to_string(limit_) + " bytes");
}

void* BudgetAllocate(size_t bytes) {
  DecodeBudget* budget = tCurrent;
  if (budget != nullptr && !budget->Take(bytes)) return nullptr;
  auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + bytes));
  if (header == nullptr) {
    if (budget != nullptr) budget->Give(bytes);
    return nullptr;
  }
  header->owner = budget;
  header->size = bytes;
  return header + 1;
}

void* BudgetReallocate(void* block, size_t bytes) {
  if (block == nullptr) return BudgetAllocate(bytes);
  Header* header = HeaderOf(block);
  DecodeBudget* budget = header->owner == tCurrent ? tCurrent : nullptr;
  const size_t old = header->size;
  if (budget != nullptr && bytes > old && !budget->Take(bytes - old)) return nullptr;
  auto* moved = static_cast<Header*>(std::realloc(header, sizeof(Header) + bytes));
  if (moved == nullptr) {
    if (budget != nullptr && bytes > old) budget->Give(bytes - old);
    return nullptr;
  }
  if (budget != nullptr && bytes < old) budget->Give(old - bytes);
  moved->size = bytes;
  return moved + 1;
}

void BudgetFree(void* block) {
  if (block == nullptr) return;
  Header* header = HeaderOf(block);
  if (header->owner != nullptr && header->owner == tCurrent) tCurrent->Give(header->size);
  std::free(header);
}

void* CountingAllocator::Malloc(size_t size) {
  if (size == 0) return nullptr;
  void* block = BudgetAllocate(size);
  if (block == nullptr) throw BudgetExceeded{};
  return block;
}

void* CountingAllocator::Realloc(void* block, size_t /*originalSize*/, size_t newSize) {
  if (newSize == 0) {
    BudgetFree(block);
    return nullptr;
  }
  void* moved = BudgetReallocate(block, newSize);
  if (moved == nullptr) throw BudgetExceeded{};
  return moved;
}

}  // namespace Zamli::Wire
