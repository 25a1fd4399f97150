#include <zamli/wire/byte_scan.h>
#include <zamli/wire/scalars.h>
#include <zamli/wire/xml/xml_writer.h>

#include <charconv>
#include <cstring>

namespace Zamli::Wire {

void XmlWriter::Start(std::string_view name, const TypeTag& tag) {
  out_.Put('<');
  out_.Put(name);
  if (!nextAttributes_.empty()) {
    out_.Put(nextAttributes_);
    nextAttributes_ = {};
  }
  if (!tag.empty()) {
    out_.Put(tag.primitive ? " xsi:type=\"xsd:" : " xsi:type=\"");
    out_.Put(tag.name);
    out_.Put('"');
  }
}

void XmlWriter::Escaped(std::string_view text, bool attribute) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Runs of plain characters are copied whole.
  auto flagged = [attribute](uint64_t word) {
    return Bytes::AnyBelow(word, 0x20) | Bytes::AnyEqual(word, '&') | Bytes::AnyEqual(word, '<') |
           Bytes::AnyEqual(word, '>') | (attribute ? Bytes::AnyEqual(word, '"') : 0);
  };
  size_t plain = 0;
  for (size_t i = 0; (i = Bytes::SkipWords(text, i, flagged)) < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    const char* entity = nullptr;
    switch (c) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        if (attribute) entity = "&quot;";
        break;
      case '\n':
        // Attribute values have their line breaks normalised away.
        if (attribute) entity = "&#10;";
        break;
      case '\t':
        if (attribute) entity = "&#9;";
        break;
      default:
        break;
    }
    bool control = c < 0x20 && c != '\n' && c != '\t';  // '\r' too: parsers fold it
    if (entity == nullptr && !control) continue;
    out_.Put(text.substr(plain, i - plain));
    plain = i + 1;
    if (entity != nullptr) {
      out_.Put(entity);
    } else {
      out_.Put("&#x");
      if (c >= 16) out_.Put(kHex[c >> 4]);
      out_.Put(kHex[c & 15]);
      out_.Put(';');
    }
  }
  out_.Put(text.substr(plain));
}

void XmlWriter::String(std::string_view name, std::string_view value, const TypeTag& tag) {
  if (tag.empty() && nextAttributes_.empty() && Bytes::NoneFlagged(value, NeedsEscape)) {
    Element(name, value);
    return;
  }
  Open(name, tag);
  Escaped(value, false);
  Close(name);
}

void XmlWriter::Element(std::string_view name, std::string_view text) {
  // <name>text</name> in one step: the common case.
  char* p = out_.Extend(2 * name.size() + text.size() + 5);
  *p++ = '<';
  CopyText(p, name.data(), name.size());
  p += name.size();
  *p++ = '>';
  CopyText(p, text.data(), text.size());
  p += text.size();
  *p++ = '<';
  *p++ = '/';
  CopyText(p, name.data(), name.size());
  p[name.size()] = '>';
}

void XmlWriter::Bool(std::string_view name, bool value, const TypeTag& tag) { Text(name, value ? "true" : "false", tag); }

void XmlWriter::Integer(std::string_view name, int64_t value, const TypeTag& tag) {
  if (tag.empty() && nextAttributes_.empty()) {
    char digits[24];
    Element(name, std::string_view(digits, std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
    return;
  }
  Open(name, tag);
  char* p = out_.Extend(24);
  out_.Unwrite(24 - (std::to_chars(p, p + 24, value).ptr - p));
  Close(name);
}

void XmlWriter::Float(std::string_view name, float value, const TypeTag& tag) {
  Open(name, tag);
  out_.Unwrite(kFloatChars - FormatFloat(value, out_.Extend(kFloatChars)));
  Close(name);
}

void XmlWriter::Text(std::string_view name, std::string_view value, const TypeTag& tag) {
  if (tag.empty() && nextAttributes_.empty()) {
    Element(name, value);
    return;
  }
  Open(name, tag);
  out_.Put(value);
  Close(name);
}

void XmlWriter::Reference(std::string_view name, std::string_view type, std::string_view id, bool typed) {
  Start(name, typed ? TypeTag{"ManagedObjectReference"} : TypeTag{});
  out_.Put(" type=\"");
  Escaped(type, true);
  out_.Put("\">");
  Escaped(id, false);
  Close(name);
}

void XmlWriter::Null(std::string_view name) {
  Start(name, TypeTag{});
  out_.Put(" xsi:nil=\"true\"/>");
}

}  // namespace Zamli::Wire
