#include <zamli/wire/byte_scan.h>
#include <zamli/wire/scalars.h>
#include <zamli/wire/xml/xml_fast_reader.h>

#include <algorithm>
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

std::string_view AfterPrefix(std::string_view name) {
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
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
  if (end_ - at_ < 2 || at_[0] != '<' || !FastXmlBytes::IsNameStart(at_[1])) Miss();
  StartTag(root);
}

void FastXmlReader::Finish() {
  SkipBlanks();
  if (at_ != end_) Miss();
}

bool FastXmlReader::MoreText(FastElement& element, const char* start, std::string_view& text, std::string& scratch) {
  bool joined = false;
  while (true) {
    while (end_ - at_ >= 8) {
      const uint64_t stops = FastXmlBytes::TextStops(Bytes::Load(at_));
      if (stops != 0) {
        at_ += FastXmlBytes::FirstFlagged(stops);
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
    if (FastXmlBytes::IsNameStart(at_[1])) return false;  // a child element: not text
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

void FastXmlReader::Attributes(FastElement& element) {
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
