#include <zamli/values/any.h>
#include <zamli/values/enum_value.h>
#include <zamli/values/printer.h>

#include <charconv>

namespace Zamli {

void Printer::Value(const Any* value) {
  if (value == nullptr) {
    out_ += "<unset>";
  } else {
    value->_Print(*this);
  }
}

void Printer::Quoted(std::string_view text) {
  out_ += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        out_ += c;
    }
  }
  out_ += '"';
}

void PrintEnumValue(Printer& out, const EnumType* type, int value) {
  if (type != nullptr && value >= 0 && value < type->GetTagCount()) {
    out.Quoted(type->GetTag(value));
  } else {
    out.Int(value);
  }
}

void PrintEnumArray(Printer& out, const EnumType* type, const std::vector<int>& values) {
  out.Open(type->GetArrayType()->GetName(), '[');
  for (int v : values) {
    out.Element();
    PrintEnumValue(out, type, v);
    out.EndMember();
  }
  out.Close(']');
}

const EnumType& RequireEnumType(const EnumType* type, const std::type_info& cls) {
  if (type == nullptr) {
    throw Haldun::InvalidStateException(Haldun::Demangle(cls) + " is not registered: its type library is not loaded");
  }
  return *type;
}

void Printer::Int(int64_t value) { out_ += std::to_string(value); }

void Printer::Float(float value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out_.append(buffer, result.ptr);
}

void Printer::Binary(const std::vector<unsigned char>& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  out_ += "<binary ";
  for (unsigned char b : bytes) {
    out_ += kHex[b >> 4];
    out_ += kHex[b & 15];
  }
  out_ += '>';
}

void Printer::Open(std::string_view typeName, char bracket) {
  out_ += '(';
  out_ += typeName;
  out_ += ") ";
  out_ += bracket;
  ++depth_;
}

void Printer::NewLine() {
  out_ += '\n';
  out_.append(static_cast<size_t>(depth_) * 3, ' ');
}

void Printer::Member(std::string_view name) {
  NewLine();
  out_ += name;
  out_ += " = ";
}

void Printer::Element() { NewLine(); }

void Printer::Close(char bracket) {
  --depth_;
  if (out_.back() != '{' && out_.back() != '[') NewLine();
  out_ += bracket;
}

}  // namespace Zamli
