#pragma once
// Writes the XML encoding: elements named by the encoder, text escaped, the
// class in xsi:type where the encoder names one.
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/output.h>
#include <zamli/wire/writer.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace Zamli::Wire {

class XmlWriter {
 public:
  static constexpr bool kControlCharacters = false;
  // Writes after what `out` holds; Finish before `out` is read.
  explicit XmlWriter(std::string& out) : out_(out) {}
  void Finish() { out_.Finish(); }

  // Written into the start tag of the next element only.
  void SetNextAttributes(std::string_view attributes) { nextAttributes_ = attributes; }

  // Nonzero for a word holding a byte that element text escapes.
  static uint64_t NeedsEscape(uint64_t word) {
    return Bytes::AnyBelow(word, 0x20) | Bytes::AnyEqual(word, '&') | Bytes::AnyEqual(word, '<') |
           Bytes::AnyEqual(word, '>');
  }

  void String(std::string_view name, std::string_view value, const TypeTag& tag);
  // A string known to need no escapes.
  void PlainString(std::string_view name, std::string_view value, const TypeTag& tag) { Text(name, value, tag); }
  void Bool(std::string_view name, bool value, const TypeTag& tag);
  void Integer(std::string_view name, int64_t value, const TypeTag& tag);
  void Float(std::string_view name, float value, const TypeTag& tag);
  // Text that needs no escaping: date-times and base64.
  void Text(std::string_view name, std::string_view value, const TypeTag& tag);
  void Reference(std::string_view name, std::string_view type, std::string_view id, bool typed);
  void Null(std::string_view name);
  void BeginObject(std::string_view name, const TypeTag& tag) { Open(name, tag); }
  void EndObject(std::string_view name) { Close(name); }
  void BeginArray(std::string_view name, ArrayStyle style, const TypeTag& tag) {
    if (style == ArrayStyle::kWrapped) Open(name, tag);
  }
  void EndArray(std::string_view name, ArrayStyle style, const TypeTag&) {
    if (style == ArrayStyle::kWrapped) Close(name);
  }

  void Raw(std::string_view text) { out_.Put(text); }
  void Escaped(std::string_view text, bool attribute);

 private:
  void Start(std::string_view name, const TypeTag& tag);
  // An element of no attributes holding text that needs no escapes.
  void Element(std::string_view name, std::string_view text);
  void Open(std::string_view name, const TypeTag& tag) {
    Start(name, tag);
    out_.Put('>');
  }
  void Close(std::string_view name) {
    char* p = out_.Extend(name.size() + 3);
    p[0] = '<';
    p[1] = '/';
    CopyText(p + 2, name.data(), name.size());
    p[name.size() + 2] = '>';
  }

  Output out_;
  std::string_view nextAttributes_;
};

}  // namespace Zamli::Wire
