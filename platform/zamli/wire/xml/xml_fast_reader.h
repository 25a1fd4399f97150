#pragma once
// A forward-only reader of the XML the encoder writes, for the fast path.
// It reads elements, attributes, text with the five predefined entities and
// character references, blanks between elements and an XML declaration,
// checking UTF-8 and control characters as it goes. Whatever else it meets
// (comments, CDATA, instructions, a DTD, unusual prefixes, anything
// malformed) it gives up on by throwing FastPathMiss: the checking decoder
// then reads the document and says what is wrong, if anything.
#include <zamli/wire/byte_scan.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

namespace Zamli::Wire::Xml {

struct FastPathMiss {};

[[noreturn]] inline void Miss() { throw FastPathMiss{}; }

// An element whose start tag is read: what the decoder asks of its tag.
struct FastElement {
  std::string_view name;      // as written, with its prefix
  std::string_view local;     // without it
  std::string_view typeName;  // xsi:type, without the value's prefix
  std::string_view refType;   // the "type" attribute of a reference
  int depth = 0;              // the root's is 1
  bool hasRefType = false;
  bool nil = false;
  bool empty = false;   // written <name/>
  bool closed = false;  // its content and end tag are read
};

// What the reader's hot paths share.
namespace FastXmlBytes {

// Names of ASCII letters, digits, '_', '-' and '.', with at most one
// prefix: a subset of what the checking parser reads.
constexpr bool IsNameStart(char c) { return static_cast<unsigned char>((c | 0x20) - 'a') < 26 || c == '_'; }
constexpr bool IsNameByte(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
inline constexpr auto kNameBytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = IsNameByte(static_cast<char>(c));
  return table;
}();

// The index of the first byte that a word test flagged: the lowest flag of
// each test is exact (borrows only run upwards from a flagged byte).
inline size_t FirstFlagged(uint64_t flags) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<size_t>(std::countr_zero(flags)) / 8;
  } else {
    return static_cast<size_t>(std::countl_zero(flags)) / 8;
  }
}

// Markup, references, controls, line breaks and tabs, multi-byte characters.
inline uint64_t TextStops(uint64_t word) {
  return Bytes::AnyHigh(word) | Bytes::AnyBelow(word, 0x20) | Bytes::AnyEqual(word, '<') | Bytes::AnyEqual(word, '&');
}

inline bool SameBytes(const char* a, const char* b, size_t size) {
  if (size < 8) {
    for (; size > 0; --size) {
      if (*a++ != *b++) return false;
    }
    return true;
  }
  // Words, the last one overlapping the one before.
  for (size_t i = 0; i + 8 < size; i += 8) {
    if (Bytes::Load(a + i) != Bytes::Load(b + i)) return false;
  }
  return Bytes::Load(a + size - 8) == Bytes::Load(b + size - 8);
}

}  // namespace FastXmlBytes

// The hot paths (tags without attributes, plain text) are inline, for the
// decoder's node to take in; the rest is in the .cc.
class FastXmlReader {
 public:
  explicit FastXmlReader(std::string_view document) : at_(document.data()), end_(document.data() + document.size()) {}

  // The declaration and blanks before the root, then the root's start tag.
  void Root(FastElement& root);
  // After the root: blanks only, to the end.
  void Finish();

  // The next child element of `parent` in `child`; false once the parent's
  // end tag is read. Only blanks may come between children.
  bool NextChild(FastElement& parent, FastElement& child) {
    if (parent.closed) Miss();
    if (parent.empty) {
      parent.closed = true;
      return false;
    }
    if (parent.depth != depth_) Miss();
    SkipBlanks();
    if (end_ - at_ < 2 || at_[0] != '<') Miss();
    if (at_[1] == '/') {
      EndTag(parent);
      return false;
    }
    if (!FastXmlBytes::IsNameStart(at_[1])) Miss();
    StartTag(child);
    return true;
  }

  // The element's text, through its end tag; false when a child element
  // comes first. Text with references is decoded into `scratch`.
  bool Text(FastElement& element, std::string_view& text, std::string& scratch) {
    if (element.closed) Miss();
    if (element.empty) {
      element.closed = true;
      text = {};
      return true;
    }
    if (element.depth != depth_) Miss();
    // Plain runs go a word at a time, to the first flagged byte; plain text
    // and its end tag are all there usually is.
    const char* start = at_;
    while (end_ - at_ >= 8) {
      const uint64_t stops = FastXmlBytes::TextStops(Bytes::Load(at_));
      if (stops == 0) {
        at_ += 8;
        continue;
      }
      at_ += FastXmlBytes::FirstFlagged(stops);
      // A '<' is never the last byte: the document ends with '>'.
      if (at_[0] == '<' && at_[1] == '/') {
        text = std::string_view(start, static_cast<size_t>(at_ - start));
        EndTag(element);
        return true;
      }
      break;
    }
    return MoreText(element, start, text, scratch);
  }

  // Reads the end tag of an element the decoder left unread; empty only.
  void Close(FastElement& element) {
    if (element.closed) return;
    if (element.empty) {
      element.closed = true;
      return;
    }
    if (element.depth != depth_ || end_ - at_ < 2 || at_[0] != '<' || at_[1] != '/') Miss();
    EndTag(element);
  }

  // Scratch for the text of numbers and booleans.
  std::string& NumberScratch() { return numbers_; }

 private:
  void StartTag(FastElement& element) {
    ++at_;  // '<'
    element = FastElement{};
    element.name = Name(element.local);
    element.depth = depth_ + 1;
    // Most elements have no attributes. Names stop before the end.
    if (*at_ == '>') {
      ++at_;
      depth_ = element.depth;
      return;
    }
    Attributes(element);
  }

  void EndTag(FastElement& element) {
    const size_t size = element.name.size();
    if (static_cast<size_t>(end_ - at_) < size + 3 || !FastXmlBytes::SameBytes(at_ + 2, element.name.data(), size)) {
      Miss();
    }
    at_ += 2 + size;
    if (*at_ != '>') {
      SkipBlanks();
      if (at_ == end_ || *at_ != '>') Miss();
    }
    ++at_;
    element.closed = true;
    if (xsiDepth_ == depth_) xsiDepth_ = 0;
    --depth_;
  }

  // A name, and in `local` its part after the prefix. Not bounded by the
  // end: Root made sure that the document ends with '>', where it stops.
  std::string_view Name(std::string_view& local) {
    const char* start = at_;
    auto part = [&] {
      if (!FastXmlBytes::IsNameStart(*at_)) Miss();
      const char* from = at_++;
      while (FastXmlBytes::kNameBytes[static_cast<unsigned char>(*at_)]) ++at_;
      local = std::string_view(from, static_cast<size_t>(at_ - from));
    };
    part();
    if (*at_ == ':') {
      ++at_;
      part();
    }
    return std::string_view(start, static_cast<size_t>(at_ - start));
  }

  // True when there were any.
  bool SkipBlanks() {
    const char* start = at_;
    while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\t' || *at_ == '\r')) ++at_;
    return at_ != start;
  }

  // The rest of a start tag after its name.
  void Attributes(FastElement& element);
  // Text from `start` on, `at_` at a byte that is not plain.
  bool MoreText(FastElement& element, const char* start, std::string_view& text, std::string& scratch);
  std::string_view AttributeValue();
  void Reference(std::string& out);

  const char* at_;
  const char* end_;
  int depth_ = 0;     // open elements
  int xsiDepth_ = 0;  // the depth of the element that binds xsi; 0: unbound
  std::string numbers_;
};

}  // namespace Zamli::Wire::Xml
