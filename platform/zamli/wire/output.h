#pragma once
// The text a writer writes, straight into the document's string: the string
// is kept as long as it can be filled, grown by doubling and cut to what was
// written by Finish, so that a write is a copy with no other bookkeeping.
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
  explicit Output(std::string& out) : out_(out), size_(out.size()) {}

  // Room for `bytes` more, to be filled by the caller.
  char* Extend(size_t bytes) {
    if (out_.size() - size_ < bytes) Grow(bytes);
    char* at = out_.data() + size_;
    size_ += bytes;
    return at;
  }
  // Gives back what an Extend took but did not fill.
  void Unwrite(size_t bytes) { size_ -= bytes; }

  // Mostly constants, whose copies the compiler inlines.
  void Put(std::string_view text) {
    if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
  }
  void Put(char c) { *Extend(1) = c; }

  // Cuts the string to what was written: before anyone else reads or
  // writes it.
  void Finish() { out_.resize(size_); }

 private:
  // Out of line: Extend stays small enough to inline everywhere.
  [[gnu::noinline]] void Grow(size_t bytes) { out_.resize(std::max({out_.size() * 2, size_ + bytes, size_t{256}})); }

  std::string& out_;
  size_t size_;
};

}  // namespace Zamli::Wire
