#include <haldun/exception.h>
#include <zamli/types/registry.h>
#include <zamli/values/data_array.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/errors.h>
#include <zamli/wire/scalars.h>

namespace Zamli::Wire {

namespace {

struct FaultShape {
  const char* typeName;
  const char* pathProperty;  // null: the fault has none
};

FaultShape ShapeOf(Problem problem) {
  switch (problem) {
    case Problem::kInvalidArgument:
      return {"kettar.fault.InvalidArgument", "invalidProperty"};
    case Problem::kInvalidType:
      return {"kettar.fault.InvalidType", "argument"};
    case Problem::kNotSupported:
      return {"kettar.fault.NotSupported", nullptr};
    case Problem::kSystemError:
      return {"kettar.fault.SystemError", "reason"};
  }
  return {"kettar.fault.SystemError", "reason"};
}

void SetString(DynamicData& object, const DataObjectType& type, const char* name, const std::string& value) {
  const PropertyRef* p = type.FindProperty(name);
  if (p != nullptr) p->owner->GetDataTypeInfo()->setProperty(&object, p->index, &value);
}

// Lengths past which names in paths and whole messages are cut.
constexpr size_t kNameBytes = 64;
constexpr size_t kMessageBytes = 512;

// The length of the UTF-8 sequence at the start of `text` that encodes one
// printable character, or 0.
size_t PrintableCharacter(std::string_view text) {
  auto c = static_cast<unsigned char>(text[0]);
  if (c < 0x80) return c < 0x20 || c == 0x7f ? 0 : 1;
  size_t n = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 0;
  return n != 0 && n <= text.size() && IsValidUtf8(text.substr(0, n)) ? n : 0;
}

}  // namespace

std::string Printable(std::string_view text, size_t max) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  size_t i = 0;
  while (i < text.size() && out.size() < max) {
    size_t n = PrintableCharacter(text.substr(i));
    if (n == 0) {
      auto c = static_cast<unsigned char>(text[i]);
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      n = 1;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  if (i < text.size()) out += "...";
  return out;
}

void Fail(Problem problem, const std::string& rawPath, const std::string& rawMessage) {
  // Whatever went into them, path and message are text a fault can carry.
  const std::string path = Printable(rawPath, kMessageBytes);
  const std::string message = Printable(rawMessage, kMessageBytes);
  std::string text = path.empty() ? message : path + ": " + message;
  FaultShape shape = ShapeOf(problem);
  auto* type = dynamic_cast<DataObjectType*>(TypeRegistry::Instance().FindByName(shape.typeName));
  if (type == nullptr || type->GetDataTypeInfo()->createInstance == nullptr) {
    // The base interface is not loaded: the runtime's own errors stand in.
    throw Haldun::InvalidArgumentException(text);
  }
  Haldun::Ref<DynamicData> fault(type->GetDataTypeInfo()->createInstance());
  if (shape.pathProperty != nullptr) {
    SetString(*fault, *type, shape.pathProperty, problem == Problem::kSystemError ? message : path);
  }
  auto* methodFault = static_cast<MethodFault*>(fault.Get());
  Haldun::Ref<LocalizableMessage> detail(new LocalizableMessage());
  detail->key = "wire.error";
  detail->message = text;
  methodFault->GetFaultMessage()->Append(detail);
  methodFault->ThrowInternal();
  __builtin_unreachable();  // ThrowInternal always throws
}

void Path::Grow() { frames_.resize(2 * frames_.size() + 16); }

std::string Path::ToString() const {
  std::string out;
  for (size_t i = 0; i < size_; ++i) {
    const Frame& f = frames_[i];
    if (f.index >= 0) {
      out += '[';
      out += std::to_string(f.index);
      out += ']';
    } else {
      if (!out.empty()) out += '.';
      out += Printable(f.name, kNameBytes);
    }
  }
  return out;
}

std::string Quote(std::string_view text) { return "\"" + Printable(text, kNameBytes) + "\""; }

std::string Describe(const MethodFault& fault) {
  std::string out = fault._GetType() ? fault._GetType()->GetName() : "kettar.MethodFault";
  if (fault.faultMessage && fault.faultMessage->GetLength() > 0) {
    const LocalizableMessage* first = fault.faultMessage->Get(0);
    if (first != nullptr) {
      out += ": ";
      out += first->message.IsSet() ? first->message.GetValue() : first->key;
    }
  }
  return out;
}

const Version& FindVersion(std::string_view name) {
  const Version* version = TypeRegistry::Instance().FindVersion(name);
  if (version == nullptr) Fail(Problem::kInvalidArgument, "", "no version named " + Quote(name));
  return *version;
}

}  // namespace Zamli::Wire
