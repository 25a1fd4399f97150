// The runtime's own data types, MethodFault, KeyAnyValue and
// LocalizableMessage, defined the way type libraries define theirs.
#include <zamli/codegen/data_object_impl.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/types/runtime_records.h>
#include <zamli/values/method_fault.h>

#include <cstdio>
#include <cstdlib>

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
const FieldTable* const kMethodFaultFields = &DataTraits<MethodFault>::kTable;
const FieldTable* const kKeyAnyValueFields = &DataTraits<KeyAnyValue>::kTable;
const FieldTable* const kLocalizableMessageFields = &DataTraits<LocalizableMessage>::kTable;

}  // namespace RuntimeTypes
}  // namespace Zamli
