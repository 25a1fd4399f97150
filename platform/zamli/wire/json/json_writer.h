#pragma once
// Writes the JSON encoding: compact, members in the encoder's order,
// "_typeName" first where the encoder names a class.
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/output.h>
#include <zamli/wire/writer.h>

#include <charconv>
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

  // The member `,"name":` for a name, escaped as strings are.
  static std::string Member(std::string_view name);

  void String(const WireName& name, std::string_view value, const TypeTag& tag);
  // A string none of whose words `plain` flags, checked as it is copied.
  // False, with nothing written, for one that needs more care. This and
  // the other short writes are inline: the encoder makes one per property.
  template <class Test>
  bool PlainString(const WireName& name, std::string_view value, const TypeTag& tag, Test plain) {
    const size_t before = out_.Size();
    const bool first = first_;
    Key(name);
    if (!tag.empty()) OpenBox(tag);
    char* p = Extend(value.size() + 2 + !tag.empty());
    if (!Bytes::CopyNoneFlagged(p + 1, value, plain)) {
      out_.Unwrite(out_.Size() - before);
      first_ = first;
      return false;
    }
    *p = '"';
    p[value.size() + 1] = '"';
    if (!tag.empty()) p[value.size() + 2] = '}';
    return true;
  }
  void Bool(const WireName& name, bool value, const TypeTag& tag) {
    Key(name);
    if (!tag.empty()) OpenBox(tag);
    out_.Put(value ? "true" : "false");
    if (!tag.empty()) out_.Put('}');
  }
  void Integer(const WireName& name, int64_t value, const TypeTag& tag) {
    Key(name);
    if (!tag.empty()) OpenBox(tag);
    char* p = Extend(24);
    out_.Unwrite(24 - (std::to_chars(p, p + 24, value).ptr - p));
    if (!tag.empty()) out_.Put('}');
  }
  void Float(const WireName& name, float value, const TypeTag& tag);
  void Text(const WireName& name, std::string_view value, const TypeTag& tag) { String(name, value, tag); }
  void Reference(const WireName& name, std::string_view type, std::string_view id, bool typed);
  void Null(const WireName& name);
  void BeginObject(const WireName& name, const TypeTag& tag);
  void EndObject(const WireName&) {
    Close();
    out_.Put('}');
  }
  void BeginArray(const WireName& name, ArrayStyle style, const TypeTag& tag);
  void EndArray(const WireName&, ArrayStyle, const TypeTag& tag) {
    Close();
    out_.Put(']');
    if (!tag.empty()) out_.Put('}');
  }

 private:
  enum class Context : uint8_t { kTop, kObject, kArray };
  // The member name (inside an object) and the separator before a value.
  void Key(const WireName& name) {
    if (context_ == Context::kObject && !name.jsonMember.empty()) {
      // The planned member, without its comma before the first.
      const size_t skip = first_;
      const size_t n = name.jsonMember.size() - skip;
      CopyText(Extend(n), name.jsonMember.data() + skip, n);
      first_ = false;
      return;
    }
    if (context_ == Context::kArray) {
      // Items are unnamed.
      if (!first_) out_.Put(',');
      first_ = false;
      return;
    }
    UnplannedKey(name.text);
  }
  void UnplannedKey(std::string_view name);  // inside an object, or at the top
  void Open(Context context, bool first) {
    outer_.push_back(context_);
    context_ = context;
    first_ = first;
  }
  // The container closed holds a value: whatever follows it needs a comma.
  void Close() {
    context_ = outer_.back();
    outer_.pop_back();
    first_ = false;
  }
  // Opens the {"_typeName":T,"_value": box of a tagged non-object.
  void OpenBox(const TypeTag& tag);
  void Quoted(std::string_view text);
  // `bytes` more at the end of the output, for the caller to fill.
  char* Extend(size_t bytes) { return out_.Extend(bytes); }

  Output out_;
  Context context_ = Context::kTop;
  bool first_ = true;  // nothing written yet in the innermost container
  std::vector<Context> outer_;
};

}  // namespace Zamli::Wire
