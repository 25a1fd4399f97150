#include <zamli/wire/byte_scan.h>
#include <zamli/wire/scalars.h>
#include <zamli/wire/xml/xml_fast_reader.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace Zamli::Wire::Xml {

namespace {

constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
constexpr std::string_view kSoapNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

// The declarations the writer and common peers put first; any other is
// left to the checking decoder, which reads the encoding it names.
constexpr std::string_view kDeclarations[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
    "<?xml version=\"1.0\"?>",
};

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// Names of ASCII letters, digits, '_', '-' and '.', with at most one
// prefix: a subset of what the checking parser reads.
constexpr bool IsNameStart(char c) { return static_cast<unsigned char>((c | 0x20) - 'a') < 26 || c == '_'; }
constexpr bool IsNameByte(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
constexpr auto kNameBytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = IsNameByte(static_cast<char>(c));
  return table;
}();

std::string_view AfterPrefix(std::string_view name) {
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The index of the first byte that a word test flagged: the lowest flag of
// each test is exact (borrows only run upwards from a flagged byte).
size_t FirstFlagged(uint64_t flags) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<size_t>(std::countr_zero(flags)) / 8;
  } else {
    return static_cast<size_t>(std::countl_zero(flags)) / 8;
  }
}

// Markup, references, controls, line breaks and tabs, multi-byte characters.
uint64_t TextStops(uint64_t word) {
  return Bytes::AnyHigh(word) | Bytes::AnyBelow(word, 0x20) | Bytes::AnyEqual(word, '<') | Bytes::AnyEqual(word, '&');
}

bool SameBytes(const char* a, const char* b, size_t size) {
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
void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xe0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3f));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
}

// The code point of a character reference's digits ("65", "x41"), or 0 for
// one the fast path does not take: U+0000, controls, surrogates, too long.
unsigned long CharacterCode(std::string_view digits) {
  const bool hex = !digits.empty() && digits[0] == 'x';
  if (hex) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 8) return 0;
  unsigned long code = 0;
  for (char c : digits) {
    int digit = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
    if (digit < 0) return 0;
    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
  }
  const bool control = code < 0x20 && code != '\t' && code != '\n';
  if (control || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return code;
}

}  // namespace

void FastXmlReader::Root(FastElement& root) {
  // Names are scanned to their first other byte without looking for the
  // end, which a '>' at the end of the document stops at the latest.
  while (end_ != at_ && IsBlank(end_[-1])) --end_;
  if (end_ == at_ || end_[-1] != '>') Miss();
  const std::string_view rest(at_, static_cast<size_t>(end_ - at_));
  if (rest.starts_with("<?")) {
    bool known = false;
    for (std::string_view declaration : kDeclarations) {
      if (rest.starts_with(declaration)) {
        at_ += declaration.size();
        known = true;
        break;
      }
    }
    if (!known) Miss();
  }
  SkipBlanks();
  if (end_ - at_ < 2 || at_[0] != '<' || !IsNameStart(at_[1])) Miss();
  StartTag(root);
}

void FastXmlReader::Finish() {
  SkipBlanks();
  if (at_ != end_) Miss();
}

bool FastXmlReader::NextChild(FastElement& parent, FastElement& child) {
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
  if (!IsNameStart(at_[1])) Miss();
  StartTag(child);
  return true;
}

bool FastXmlReader::Text(FastElement& element, std::string_view& text, std::string& scratch) {
  if (element.closed) Miss();
  if (element.empty) {
    element.closed = true;
    text = {};
    return true;
  }
  if (element.depth != depth_) Miss();
  // Plain runs go a word at a time, to the first flagged byte.
  const char* start = at_;
  bool joined = false;
  while (true) {
    while (end_ - at_ >= 8) {
      const uint64_t stops = TextStops(Bytes::Load(at_));
      if (stops != 0) {
        at_ += FirstFlagged(stops);
        break;
      }
      at_ += 8;
    }
    if (at_ == end_) Miss();
    const auto c = static_cast<unsigned char>(*at_);
    if (c == '<') break;
    if (c == '&') {
      if (!joined) scratch.clear();
      scratch.append(start, at_);
      joined = true;
      Reference(scratch);
      start = at_;
    } else if (c >= 0x80) {
      const size_t n =
          Utf8SequenceLength(reinterpret_cast<const unsigned char*>(at_), reinterpret_cast<const unsigned char*>(end_));
      if (n == 0) Miss();
      at_ += n;
    } else if (c < 0x20 && c != '\t' && c != '\n') {
      // Controls are refused, carriage returns become line feeds: the
      // checking decoder's business.
      Miss();
    } else {
      ++at_;
    }
  }
  if (end_ - at_ < 2) Miss();
  if (at_[1] != '/') {
    if (IsNameStart(at_[1])) return false;  // a child element: not text
    Miss();
  }
  if (joined) {
    scratch.append(start, at_);
    text = scratch;
  } else {
    text = std::string_view(start, static_cast<size_t>(at_ - start));
  }
  EndTag(element);
  return true;
}

void FastXmlReader::Close(FastElement& element) {
  if (element.closed) return;
  if (element.empty) {
    element.closed = true;
    return;
  }
  if (element.depth != depth_ || end_ - at_ < 2 || at_[0] != '<' || at_[1] != '/') Miss();
  EndTag(element);
}

void FastXmlReader::StartTag(FastElement& element) {
  ++at_;  // '<'
  element = FastElement{};
  element.name = Name(element.local);
  element.depth = depth_ + 1;
  // Most elements have no attributes.
  if (at_ != end_ && *at_ == '>') {
    ++at_;
    depth_ = element.depth;
    return;
  }
  struct Attribute {
    std::string_view name, value;
  };
  constexpr size_t kMostAttributes = 8;
  Attribute attributes[kMostAttributes];
  size_t count = 0;
  while (true) {
    const bool blank = SkipBlanks();
    if (at_ == end_) Miss();
    if (*at_ == '>') {
      ++at_;
      break;
    }
    if (*at_ == '/') {
      if (end_ - at_ < 2 || at_[1] != '>') Miss();
      at_ += 2;
      element.empty = true;
      break;
    }
    if (!blank || count == kMostAttributes) Miss();
    std::string_view local;
    const std::string_view name = Name(local);
    if (at_ == end_ || *at_ != '=') Miss();
    ++at_;
    const std::string_view value = AttributeValue();
    for (size_t i = 0; i < count; ++i) {
      if (attributes[i].name == name) Miss();
    }
    attributes[count++] = Attribute{name, value};
  }
  // Declarations first: they hold for the whole tag. Only xsi may name the
  // schema instance namespace, and only it; nothing here names SOAP's.
  for (size_t i = 0; i < count; ++i) {
    const Attribute& a = attributes[i];
    if (!a.name.starts_with("xmlns:")) continue;
    if (a.name == "xmlns:xsi") {
      if (a.value != kXsiNamespace) Miss();
      if (xsiDepth_ == 0) xsiDepth_ = element.depth;
    } else if (a.value == kXsiNamespace || a.value == kSoapNamespace) {
      Miss();
    }
  }
  for (size_t i = 0; i < count; ++i) {
    const Attribute& a = attributes[i];
    const size_t colon = a.name.find(':');
    if (colon == std::string_view::npos) {
      if (a.name == "type") {
        element.refType = a.value;
        element.hasRefType = true;
      }
      continue;
    }
    const std::string_view prefix = a.name.substr(0, colon), local = a.name.substr(colon + 1);
    if (prefix == "xmlns" || (local != "type" && local != "nil" && local != "mustUnderstand")) continue;
    if (prefix != "xsi" || xsiDepth_ == 0) Miss();
    if (local == "type") {
      element.typeName = AfterPrefix(a.value);
    } else if (local == "nil") {
      element.nil = a.value == "true" || a.value == "1";
    }
  }
  if (!element.empty) {
    depth_ = element.depth;
  } else if (xsiDepth_ == element.depth) {
    xsiDepth_ = 0;
  }
}

void FastXmlReader::EndTag(FastElement& element) {
  at_ += 2;  // "</"
  const size_t size = element.name.size();
  if (static_cast<size_t>(end_ - at_) < size || !SameBytes(at_, element.name.data(), size)) Miss();
  at_ += size;
  SkipBlanks();
  if (at_ == end_ || *at_ != '>') Miss();
  ++at_;
  element.closed = true;
  if (xsiDepth_ == depth_) xsiDepth_ = 0;
  --depth_;
}

std::string_view FastXmlReader::Name(std::string_view& local) {
  const char* start = at_;
  // Unbounded: Root made sure that the document ends with '>'.
  auto part = [&] {
    if (!IsNameStart(*at_)) Miss();
    const char* from = at_++;
    while (kNameBytes[static_cast<unsigned char>(*at_)]) ++at_;
    local = std::string_view(from, static_cast<size_t>(at_ - from));
  };
  part();
  if (*at_ == ':') {
    ++at_;
    part();
  }
  return std::string_view(start, static_cast<size_t>(at_ - start));
}

// Printable ASCII without references: type names and namespace names.
std::string_view FastXmlReader::AttributeValue() {
  if (at_ == end_ || (*at_ != '"' && *at_ != '\'')) Miss();
  const char quote = *at_++;
  const char* start = at_;
  while (at_ != end_ && *at_ != quote) {
    const auto c = static_cast<unsigned char>(*at_);
    if (c < 0x20 || c >= 0x7f || c == '<' || c == '&') Miss();
    ++at_;
  }
  if (at_ == end_) Miss();
  return std::string_view(start, static_cast<size_t>(at_++ - start));
}

void FastXmlReader::Reference(std::string& out) {
  const size_t room = std::min<size_t>(static_cast<size_t>(end_ - at_), 14);
  const auto* semicolon = static_cast<const char*>(std::memchr(at_, ';', room));
  if (semicolon == nullptr) Miss();
  const std::string_view name(at_ + 1, static_cast<size_t>(semicolon - at_ - 1));
  at_ = semicolon + 1;
  if (name == "lt") {
    out += '<';
  } else if (name == "gt") {
    out += '>';
  } else if (name == "amp") {
    out += '&';
  } else if (name == "quot") {
    out += '"';
  } else if (name == "apos") {
    out += '\'';
  } else if (name.starts_with('#')) {
    const unsigned long code = CharacterCode(name.substr(1));
    if (code == 0) Miss();
    AppendUtf8(out, code);
  } else {
    Miss();
  }
}

}  // namespace Zamli::Wire::Xml
