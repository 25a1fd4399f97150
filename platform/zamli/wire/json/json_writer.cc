#include <zamli/wire/byte_scan.h>
#include <zamli/wire/json/json_writer.h>
#include <zamli/wire/scalars.h>

#include <charconv>
#include <cmath>
#include <cstring>

namespace Zamli::Wire {

std::string JsonWriter::Member(std::string_view name) {
  std::string member;
  JsonWriter writer(member);
  writer.out_.Put(',');
  writer.Quoted(name);
  writer.out_.Put(':');
  writer.Finish();
  return member;
}

void JsonWriter::UnplannedKey(std::string_view name) {
  if (context_ == Context::kTop) return;
  const bool comma = !first_;
  first_ = false;
  if (Bytes::NoneFlagged(name, NeedsEscape)) {
    // ,"name": in one step: names seldom need escapes.
    char* p = Extend(name.size() + 3 + comma);
    if (comma) *p++ = ',';
    *p++ = '"';
    CopyText(p, name.data(), name.size());
    p[name.size()] = '"';
    p[name.size() + 1] = ':';
    return;
  }
  if (comma) out_.Put(',');
  Quoted(name);
  out_.Put(':');
}

void JsonWriter::OpenBox(const TypeTag& tag) {
  out_.Put("{\"_typeName\":");
  Quoted(tag.name);
  out_.Put(",\"_value\":");
}

void JsonWriter::Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (Bytes::NoneFlagged(text, NeedsEscape)) {
    char* p = Extend(text.size() + 2);
    *p = '"';
    CopyText(p + 1, text.data(), text.size());
    p[text.size() + 1] = '"';
    return;
  }
  out_.Put('"');
  // Runs of plain characters are copied whole.
  size_t plain = 0;
  for (size_t i = 0; (i = Bytes::SkipWords(text, i, NeedsEscape)) < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out_.Put(text.substr(plain, i - plain));
    plain = i + 1;
    switch (c) {
      case '"':
        out_.Put("\\\"");
        break;
      case '\\':
        out_.Put("\\\\");
        break;
      case '\n':
        out_.Put("\\n");
        break;
      case '\t':
        out_.Put("\\t");
        break;
      case '\r':
        out_.Put("\\r");
        break;
      default:
        out_.Put("\\u00");
        out_.Put(kHex[c >> 4]);
        out_.Put(kHex[c & 15]);
    }
  }
  out_.Put(text.substr(plain));
  out_.Put('"');
}

void JsonWriter::String(const WireName& name, std::string_view value, const TypeTag& tag) {
  Key(name);
  if (!tag.empty()) OpenBox(tag);
  Quoted(value);
  if (!tag.empty()) out_.Put('}');
}

void JsonWriter::Float(const WireName& name, float value, const TypeTag& tag) {
  Key(name);
  if (!tag.empty()) OpenBox(tag);
  // JSON has no literal for these: they travel as the XML spellings.
  bool special = !std::isfinite(value);
  if (special) out_.Put('"');
  if (value == 0 && std::signbit(value)) {
    out_.Put("-0.0");  // "-0" would read back as the integer 0
  } else {
    out_.Unwrite(kFloatChars - FormatFloat(value, Extend(kFloatChars)));
  }
  if (special) out_.Put('"');
  if (!tag.empty()) out_.Put('}');
}

void JsonWriter::Reference(const WireName& name, std::string_view type, std::string_view id, bool) {
  Key(name);
  out_.Put("{\"_typeName\":\"ManagedObjectReference\",\"type\":");
  Quoted(type);
  out_.Put(",\"value\":");
  Quoted(id);
  out_.Put('}');
}

void JsonWriter::Null(const WireName& name) {
  Key(name);
  out_.Put("null");
}

void JsonWriter::BeginObject(const WireName& name, const TypeTag& tag) {
  Key(name);
  out_.Put('{');
  bool first = true;
  if (!tag.empty()) {
    out_.Put("\"_typeName\":");
    Quoted(tag.name);
    first = false;
  }
  Open(Context::kObject, first);
}

void JsonWriter::BeginArray(const WireName& name, ArrayStyle, const TypeTag& tag) {
  Key(name);
  if (!tag.empty()) OpenBox(tag);
  out_.Put('[');
  Open(Context::kArray, true);
}

}  // namespace Zamli::Wire
