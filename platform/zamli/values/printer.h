#pragma once
// Writes values for Any::ToString.
#include <haldun/date_time.h>
#include <zamli/export.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli {

class Any;

class ZAMLI_EXPORT Printer {
 public:
  // What a property carrying the secret flag prints instead of its value.
  static constexpr std::string_view kSecretMask = "********";

  void Value(const Any* value);  // "<unset>" for null
  void Quoted(std::string_view text);
  void Raw(std::string_view text) { out_ += text; }
  void Int(int64_t value);
  void Float(float value);
  void Bool(bool value) { out_ += value ? "true" : "false"; }
  void DateTime(const Haldun::System::DateTime& value) { out_ += value.ToIso8601(); }
  void Binary(const std::vector<unsigned char>& bytes);

  // A bracketed block: `(type) {` ... `}` with one indented line per member.
  void Open(std::string_view typeName, char bracket);
  void Member(std::string_view name);  // starts "name = " on a new line
  void Element();                      // starts an element on a new line
  void EndMember() { out_ += ','; }
  void Close(char bracket);

  const std::string& Text() const { return out_; }

 private:
  void NewLine();
  std::string out_;
  int depth_ = 0;
};

}  // namespace Zamli
