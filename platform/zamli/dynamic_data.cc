#include <zamli/data_object_impl.h>
#include <zamli/dynamic_data.h>
#include <zamli/field_kind.h>
#include <zamli/primitive.h>
#include <zamli/printer.h>
#include <zamli/registry.h>
#include <zamli/runtime_types.h>

#include <cstdio>
#include <cstdlib>

namespace Zamli {

namespace {

// Two values of a value kind, as getPropertyAddr hands them out (null: unset).
bool SameValue(const PropertyInfo& p, const void* a, const void* b) {
  if (a == nullptr || b == nullptr) return a == b;
  switch (KindOf(p)) {
    case FieldKind::kString:
      return *static_cast<const std::string*>(a) == *static_cast<const std::string*>(b);
    case FieldKind::kBool:
      if (IsOptionalBool(p)) return *static_cast<const signed char*>(a) == *static_cast<const signed char*>(b);
      return *static_cast<const bool*>(a) == *static_cast<const bool*>(b);
    case FieldKind::kInt:
      return *static_cast<const int*>(a) == *static_cast<const int*>(b);
    case FieldKind::kLong:
      return *static_cast<const long*>(a) == *static_cast<const long*>(b);
    case FieldKind::kFloat:
      return *static_cast<const float*>(a) == *static_cast<const float*>(b);
    case FieldKind::kDateTime:
      return *static_cast<const Haldun::System::DateTime*>(a) == *static_cast<const Haldun::System::DateTime*>(b);
    case FieldKind::kBinary:
      return *static_cast<const Binary*>(a) == *static_cast<const Binary*>(b);
    case FieldKind::kReference:
    case FieldKind::kArray:
      break;
  }
  return false;
}

void PrintValue(Printer& out, const PropertyInfo& p, const void* addr) {
  switch (KindOf(p)) {
    case FieldKind::kString:
      out.Quoted(*static_cast<const std::string*>(addr));
      break;
    case FieldKind::kBool:
      out.Bool(IsOptionalBool(p) ? *static_cast<const signed char*>(addr) == 1 : *static_cast<const bool*>(addr));
      break;
    case FieldKind::kInt:
      out.Int(*static_cast<const int*>(addr));
      break;
    case FieldKind::kLong:
      out.Int(*static_cast<const long*>(addr));
      break;
    case FieldKind::kFloat:
      out.Float(*static_cast<const float*>(addr));
      break;
    case FieldKind::kDateTime:
      out.DateTime(*static_cast<const Haldun::System::DateTime*>(addr));
      break;
    case FieldKind::kBinary:
      out.Binary(*static_cast<const Binary*>(addr));
      break;
    case FieldKind::kReference:
    case FieldKind::kArray:
      out.Value(static_cast<const Any*>(addr));
      break;
  }
}

}  // namespace

DynamicData::~DynamicData() = default;

void DynamicData::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  auto* self = const_cast<DynamicData*>(this);
  auto* that = const_cast<DynamicData*>(static_cast<const DynamicData*>(other));
  for (const PropertyRef& p : _GetDataType()->GetAllProperties()) {
    const DataTypeInfo* functions = p.owner->GetDataTypeInfo();
    const void* a = functions->getPropertyAddr(self, p.index);
    const void* b = functions->getPropertyAddr(that, p.index);
    const std::string name = std::string(".") + p.info->name;
    FieldKind kind = KindOf(*p.info);
    if (kind == FieldKind::kReference || kind == FieldKind::kArray) {
      DiffAnyPropertiesInt(static_cast<const Any*>(a), static_cast<const Any*>(b), path, name.c_str(), p.info->flags,
                           diffs);
    } else if (!SameValue(*p.info, a, b)) {
      diffs.AddChanged(path + name);
    }
  }
}

void DynamicData::_Print(Printer& out) const {
  const DataObjectType* type = _GetDataType();
  out.Open(type ? type->GetName() : "kettar.DynamicData", '{');
  if (type != nullptr) {
    auto* self = const_cast<DynamicData*>(this);
    for (const PropertyRef& p : type->GetAllProperties()) {
      const void* addr = p.owner->GetDataTypeInfo()->getPropertyAddr(self, p.index);
      // Unset optionals are left out; an empty optional array is unset too.
      if (addr == nullptr && (p.info->flags & kOptionalFlag)) continue;
      out.Member(p.info->name);
      if (p.info->flags & kSecretFlag) {
        out.Raw(Printer::kSecretMask);
      } else if (addr == nullptr) {
        out.Raw("<unset>");
      } else {
        PrintValue(out, *p.info, addr);
      }
      out.EndMember();
    }
  }
  out.Close('}');
}

}  // namespace Zamli

// The runtime's own data types, in the form type libraries generate.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
template <>
struct Zamli::DataTraits<Zamli::MethodFault> {
  using Base = DynamicData;
  static constexpr FieldEntry kFields[] = {ZAMLI_FIELD(MethodFault, faultCause),
                                           ZAMLI_FIELD(MethodFault, faultMessage)};
  static constexpr FieldTable kTable{kFields, 2, RuntimeTypes::kMethodFaultProperties};
};
template <>
struct Zamli::DataTraits<Zamli::KeyAnyValue> {
  using Base = DynamicData;
  static constexpr FieldEntry kFields[] = {ZAMLI_FIELD(KeyAnyValue, key), ZAMLI_FIELD(KeyAnyValue, value)};
  static constexpr FieldTable kTable{kFields, 2, RuntimeTypes::kKeyAnyValueProperties};
};
template <>
struct Zamli::DataTraits<Zamli::LocalizableMessage> {
  using Base = DynamicData;
  static constexpr FieldEntry kFields[] = {ZAMLI_FIELD(LocalizableMessage, key), ZAMLI_FIELD(LocalizableMessage, arg),
                                           ZAMLI_FIELD(LocalizableMessage, message)};
  static constexpr FieldTable kTable{kFields, 3, RuntimeTypes::kLocalizableMessageProperties};
};
#pragma GCC diagnostic pop

ZAMLI_DEFINE_DATA_OBJECT(Zamli::MethodFault, MethodFault)
ZAMLI_DEFINE_DATA_OBJECT(Zamli::KeyAnyValue, KeyAnyValue)
ZAMLI_DEFINE_DATA_DIFF(Zamli::KeyAnyValue)
ZAMLI_DEFINE_DATA_OBJECT(Zamli::LocalizableMessage, LocalizableMessage)
ZAMLI_DEFINE_DATA_DIFF(Zamli::LocalizableMessage)

namespace Zamli {

DataArray<LocalizableMessage>* MethodFault::GetFaultMessage() { return LazyArray(faultMessage); }

namespace {
std::string FaultMessage(const MethodFault* fault) {
  const Type* type = fault->_GetType();
  return "Fault cause: " + (type ? type->GetName() : Haldun::Demangle(typeid(*fault))) + "\n";
}
}  // namespace

MethodFault::Exception::Exception(const MethodFault* fault, const char* file, int line)
    : ThrowableImpl(FaultMessage(fault), file, line), fault_(const_cast<MethodFault*>(fault)) {}

Haldun::Http::ResponseCode MethodFault::GetResponseCode() const {
  return Haldun::Http::ResponseCode::InternalServerError;
}

void MethodFault::ThrowInternal() const { throw Exception(this); }

void MethodFault::ThrowFault() const {
  ThrowInternal();
  // ThrowInternal never returns; if an override ever did, stop here.
  std::fprintf(stderr, "NOT_REACHED %s:%d\n", __FILE__, __LINE__);
  std::abort();
}

MethodFault::Exception* MethodFault::CreateException() const { return new Exception(this); }
DataArray<KeyAnyValue>* LocalizableMessage::GetArg() { return LazyArray(arg); }

namespace {
DataObjectType* Find(const TypeInfo* info) {
  return static_cast<DataObjectType*>(TypeRegistry::Instance().FindByTypeInfo(info));
}
}  // namespace

template <>
DataObjectType* GetDoType<DynamicData>() {
  static auto* t = Find(&gKettarDynamicDataTypeInfo);
  return t;
}
template <>
DataObjectType* GetDoType<MethodFault>() {
  static auto* t = Find(&gKettarMethodFaultTypeInfo);
  return t;
}
template <>
DataObjectType* GetDoType<KeyAnyValue>() {
  static auto* t = Find(&gKettarKeyAnyValueTypeInfo);
  return t;
}
template <>
DataObjectType* GetDoType<LocalizableMessage>() {
  static auto* t = Find(&gKettarLocalizableMessageTypeInfo);
  return t;
}

template struct DataFunctions<MethodFault>;
template struct DataFunctions<KeyAnyValue>;
template struct DataFunctions<LocalizableMessage>;

template class DataArray<DynamicData>;
template class DataArray<MethodFault>;
template class DataArray<KeyAnyValue>;
template class DataArray<LocalizableMessage>;
template class DataArray<MoRef>;

namespace RuntimeTypes {

const DataTypeInfo kMethodFault = MakeDataTypeInfo<MethodFault>(
    &gKettarMethodFaultTypeInfo, &gKettarDynamicDataTypeInfo, kMethodFaultProperties, DataShape::kWithOptional);
const DataTypeInfo kKeyAnyValue = MakeDataTypeInfo<KeyAnyValue>(
    &gKettarKeyAnyValueTypeInfo, &gKettarDynamicDataTypeInfo, kKeyAnyValueProperties, DataShape::kAllRequired);
const DataTypeInfo kLocalizableMessage =
    MakeDataTypeInfo<LocalizableMessage>(&gKettarLocalizableMessageTypeInfo, &gKettarDynamicDataTypeInfo,
                                         kLocalizableMessageProperties, DataShape::kWithOptional);

}  // namespace RuntimeTypes
}  // namespace Zamli
