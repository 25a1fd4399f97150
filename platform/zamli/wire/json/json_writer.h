#pragma once
// Writes the JSON encoding: compact, members in the encoder's order,
// "_typeName" first where the encoder names a class.
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/output.h>
#include <zamli/wire/writer.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

class JsonWriter {
 public:
  static constexpr bool kControlCharacters = true;
  // Writes after what `out` holds; Finish before `out` is read.
  explicit JsonWriter(std::string& out) : out_(out) {}
  void Finish() { out_.Finish(); }

  // Nonzero for a word holding a byte that strings escape.
  static uint64_t NeedsEscape(uint64_t word) {
    return Bytes::AnyBelow(word, 0x20) | Bytes::AnyEqual(word, '"') | Bytes::AnyEqual(word, '\\');
  }

  void String(std::string_view name, std::string_view value, TypeTag tag);
  // A string known to need no escapes.
  void PlainString(std::string_view name, std::string_view value, TypeTag tag);
  void Bool(std::string_view name, bool value, TypeTag tag);
  void Integer(std::string_view name, int64_t value, TypeTag tag);
  void Float(std::string_view name, float value, TypeTag tag);
  void Text(std::string_view name, std::string_view value, TypeTag tag) { String(name, value, tag); }
  void Reference(std::string_view name, std::string_view type, std::string_view id, bool typed);
  void Null(std::string_view name);
  void BeginObject(std::string_view name, TypeTag tag);
  void EndObject(std::string_view name);
  void BeginArray(std::string_view name, ArrayStyle style, TypeTag tag);
  void EndArray(std::string_view name, ArrayStyle style, TypeTag tag);

 private:
  struct Frame {
    bool array;
    bool first;
  };
  // The member name (inside an object) and the separator before a value.
  void Key(std::string_view name);
  // Opens the {"_typeName":T,"_value": box of a tagged non-object.
  void OpenBox(TypeTag tag);
  void Quoted(std::string_view text);
  // `bytes` more at the end of the output, for the caller to fill.
  char* Extend(size_t bytes) { return out_.Extend(bytes); }

  Output out_;
  std::vector<Frame> frames_;
};

}  // namespace Zamli::Wire
