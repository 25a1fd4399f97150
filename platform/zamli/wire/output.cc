#include <zamli/wire/output.h>

#include <cstdlib>
#include <new>

namespace Zamli::Wire {

namespace {

// Buffers up to this size are kept for the thread's next document.
constexpr size_t kKeptBytes = size_t{1} << 20;

struct KeptBuffer {
  ~KeptBuffer() { std::free(data); }
  char* data = nullptr;
  size_t capacity = 0;
  bool busy = false;  // a writer on this thread writes into it
};

thread_local KeptBuffer tKept;

}  // namespace

Output::Output(std::string& out) : out_(out), kept_(!tKept.busy) {
  if (kept_) {
    tKept.busy = true;
    begin_ = end_ = tKept.data;
    limit_ = tKept.data + tKept.capacity;
  }
}

Output::~Output() {
  if (!kept_) {
    std::free(begin_);
    return;
  }
  tKept.busy = false;
  tKept.data = begin_;
  tKept.capacity = static_cast<size_t>(limit_ - begin_);
  if (tKept.capacity > kKeptBytes) {
    std::free(tKept.data);
    tKept.data = nullptr;
    tKept.capacity = 0;
  }
}

void Output::Finish() {
  out_.append(begin_, static_cast<size_t>(end_ - begin_));
  end_ = begin_;
}

void Output::Grow(size_t bytes) {
  const size_t size = static_cast<size_t>(end_ - begin_);
  const size_t capacity = std::max({static_cast<size_t>(limit_ - begin_) * 2, size + bytes, size_t{4096}});
  auto* grown = static_cast<char*>(std::realloc(begin_, capacity));
  if (grown == nullptr) throw std::bad_alloc();
  begin_ = grown;
  end_ = grown + size;
  limit_ = grown + capacity;
}

}  // namespace Zamli::Wire
