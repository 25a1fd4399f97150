#include <haldun/exception.h>
#include <zamli/security/faults.h>
#include <zamli/types/registry.h>
#include <zamli/types/type.h>
#include <zamli/values/data_array.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>

#include <functional>

namespace Zamli::Security {

namespace {

// The fault classes live in the base interface library, above the runtime:
// the fault is built through its records.
[[noreturn]] void Raise(const char* typeName, const std::string& text,
                        const std::function<void(DynamicData&, const DataObjectType&)>& fill) {
  auto* type = dynamic_cast<DataObjectType*>(TypeRegistry::Instance().FindByName(typeName));
  if (type == nullptr || type->GetDataTypeInfo()->createInstance == nullptr) {
    // The base interface is not loaded: the runtime's own error stands in.
    throw Haldun::Exception(text);
  }
  Haldun::Ref<DynamicData> fault(type->GetDataTypeInfo()->createInstance());
  if (fill) fill(*fault, *type);
  auto* methodFault = static_cast<MethodFault*>(fault.Get());
  Haldun::Ref<LocalizableMessage> message(new LocalizableMessage());
  message->key = typeName;
  message->message = text;
  methodFault->GetFaultMessage()->Append(message);
  methodFault->ThrowInternal();
  __builtin_unreachable();  // ThrowInternal always throws
}

void Set(DynamicData& fault, const DataObjectType& type, const char* name, const void* value) {
  const PropertyRef* p = type.FindProperty(name);
  if (p != nullptr) p->owner->GetDataTypeInfo()->setProperty(&fault, p->index, value);
}

}  // namespace

void RaiseNoPermission(const std::string& privilege, const MoRef& object) {
  Raise("kettar.fault.NoPermission",
        "privilege " + privilege + " is needed on " + object.GetTypeName() + " " + object.GetId(),
        [&](DynamicData& fault, const DataObjectType& type) {
          Haldun::Ref<MoRef> copy(new MoRef(object.GetTypeName(), object.GetId()));
          Any* ref = copy.Get();
          Set(fault, type, "object", &ref);
          Set(fault, type, "privilegeId", &privilege);
        });
}

void RaiseNotAuthenticated() {
  Raise("kettar.fault.NotAuthenticated", "the call needs an authenticated caller", nullptr);
}

}  // namespace Zamli::Security
