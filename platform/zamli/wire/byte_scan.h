#pragma once
// Eight bytes at a time: the scans that text checks, writers and parsers
// make over long runs of plain bytes. Each test answers nonzero when some
// byte of the word matches; the caller then looks at the bytes one by one.
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Zamli::Wire::Bytes {

inline constexpr uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr uint64_t kHighs = 0x8080808080808080ULL;

inline uint64_t Load(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// A byte at or above 0x80: not ASCII.
inline uint64_t AnyHigh(uint64_t word) { return word & kHighs; }
// A byte below `n` (n <= 0x80).
inline uint64_t AnyBelow(uint64_t word, unsigned n) { return (word - kOnes * n) & ~word & kHighs; }
// A byte equal to `c`.
inline uint64_t AnyEqual(uint64_t word, unsigned char c) { return AnyBelow(word ^ (kOnes * c), 1); }

// The first index at or after `from` whose word of eight may hold a byte
// that `test` flags, or the start of the last short run: the caller goes on
// byte by byte from there.
template <class Test>
inline size_t SkipWords(std::string_view text, size_t from, Test test) {
  while (from + 8 <= text.size() && !test(Load(text.data() + from))) from += 8;
  return from;
}

// True when no byte of `text` is one that `test` flags. Short tails are
// read as the last eight bytes, overlapping the words before.
template <class Test>
inline bool NoneFlagged(std::string_view text, Test test) {
  if (text.size() < 8) {
    // Gathered byte by byte: cheaper than a copy of variable length. Padded
    // with blanks, which no text test flags.
    uint64_t word = 0;
    for (size_t i = text.size(); i-- > 0;) word = word << 8 | static_cast<unsigned char>(text[i]);
    return !test(word | (~uint64_t{0} << (8 * text.size()) & (kOnes * ' ')));
  }
  size_t i = SkipWords(text, 0, test);
  return i == text.size() || (i > text.size() - 8 && !test(Load(text.data() + text.size() - 8)));
}

// NoneFlagged that copies `text` to `to` as it checks it, so that plain
// text is read once. False at the first flagged word, with part of the
// text copied.
template <class Test>
inline bool CopyNoneFlagged(char* to, std::string_view text, Test test) {
  const size_t n = text.size();
  if (n < 8) {
    if (!NoneFlagged(text, test)) return false;
    for (size_t i = 0; i < n; ++i) to[i] = text[i];
    return true;
  }
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t word = Load(text.data() + i);
    if (test(word)) return false;
    std::memcpy(to + i, &word, sizeof word);
  }
  if (i < n) {
    const uint64_t word = Load(text.data() + n - 8);
    if (test(word)) return false;
    std::memcpy(to + n - 8, &word, sizeof word);
  }
  return true;
}

}  // namespace Zamli::Wire::Bytes
