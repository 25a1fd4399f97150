#include <zamli/transport/http/faults.h>
#include <zamli/types/registry.h>
#include <zamli/values/data_array.h>
#include <zamli/values/localizable_message.h>

namespace Zamli::Http {

Haldun::Ref<MethodFault> FaultNamed(const char* typeName, const std::string& message) {
  auto* type = dynamic_cast<DataObjectType*>(TypeRegistry::Instance().FindByName(typeName));
  if (type == nullptr || type->GetDataTypeInfo()->createInstance == nullptr) {
    type = dynamic_cast<DataObjectType*>(TypeRegistry::Instance().FindByName("kettar.fault.SystemError"));
    if (type == nullptr) throw Haldun::InvalidStateException(message);
  }
  Haldun::Ref<DynamicData> object(type->GetDataTypeInfo()->createInstance());
  Haldun::Ref<MethodFault> fault(static_cast<MethodFault*>(object.Get()));
  Haldun::Ref<LocalizableMessage> detail(new LocalizableMessage());
  detail->key = "http.error";
  detail->message = message;
  fault->GetFaultMessage()->Append(detail);
  return fault;
}

}  // namespace Zamli::Http
