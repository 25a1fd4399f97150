#pragma once
// The text a writer writes, into a buffer grown by doubling and added to the
// document's string by Finish, so that a write is a copy with no other
// bookkeeping. A thread keeps one buffer for the next document: the string
// itself would be zero-filled and copied at each doubling.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace Zamli::Wire {

// Copies 2 * sizeof(Word) >= n >= sizeof(Word) bytes as two words, the
// second ending where the text ends: they overlap when n is less.
template <class Word>
inline void CopyWords(char* to, const char* from, size_t n) {
  Word head, tail;
  std::memcpy(&head, from, sizeof(Word));
  std::memcpy(&tail, from + n - sizeof(Word), sizeof(Word));
  std::memcpy(to, &head, sizeof(Word));
  std::memcpy(to + n - sizeof(Word), &tail, sizeof(Word));
}

// Copies `n` bytes: short runs (names, most values) with a few moves of
// fixed size, which cost less than a call to memcpy.
inline void CopyText(char* to, const char* from, size_t n) {
  if (n > 16) {
    std::memcpy(to, from, n);
  } else if (n >= 8) {
    CopyWords<uint64_t>(to, from, n);
  } else if (n >= 4) {
    CopyWords<uint32_t>(to, from, n);
  } else {
    for (size_t i = 0; i < n; ++i) to[i] = from[i];
  }
}

class Output {
 public:
  // Writes after what `out` holds already.
  explicit Output(std::string& out);
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Room for `bytes` more, to be filled by the caller.
  char* Extend(size_t bytes) {
    if (static_cast<size_t>(limit_ - end_) < bytes) Grow(bytes);
    char* at = end_;
    end_ += bytes;
    return at;
  }
  // The bytes written so far.
  size_t Size() const { return static_cast<size_t>(end_ - begin_); }
  // Gives back what an Extend took but did not fill.
  void Unwrite(size_t bytes) { end_ -= bytes; }

  // Mostly constants, whose copies the compiler inlines.
  void Put(std::string_view text) {
    if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
  }
  void Put(char c) { *Extend(1) = c; }

  // Adds what was written to the string: before anyone else reads or
  // writes it.
  void Finish();

 private:
  // Out of line: Extend stays small enough to inline everywhere.
  [[gnu::noinline]] void Grow(size_t bytes);

  std::string& out_;
  bool kept_;  // writing into the thread's kept buffer
  char* begin_ = nullptr;
  char* end_ = nullptr;
  char* limit_ = nullptr;
};

}  // namespace Zamli::Wire
