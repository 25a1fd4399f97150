#include <haldun/exception.h>
#include <zamli/types/registry.h>
#include <zamli/values/data_array.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/errors.h>

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

}  // namespace

void Fail(Problem problem, const std::string& path, const std::string& message) {
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

std::string Path::ToString() const {
  std::string out;
  for (const Frame& f : frames_) {
    if (f.index >= 0) {
      out += '[';
      out += std::to_string(f.index);
      out += ']';
    } else {
      if (!out.empty()) out += '.';
      out += f.name;
    }
  }
  return out;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  size_t n = std::min<size_t>(text.size(), 40);
  for (size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
  }
  out += text.size() > n ? "...\"" : "\"";
  return out;
}

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
