#include <haldun/exception.h>
#include <zamli/calls/make_stub.h>

namespace Zamli {

const ManagedObjectType& RequireMoType(const ManagedObjectType* type, const std::type_info& cls) {
  if (type == nullptr) {
    throw Haldun::InvalidStateException(Haldun::Demangle(cls) + " is not registered: its type library is not loaded");
  }
  return *type;
}

StubImpl* CreateStub(const ManagedObjectType& type, MoRef* ref, StubAdapter& adapter, RequestContext* context) {
  CreateStubFunction create = type.GetManagedTypeInfo()->createStub;
  if (create == nullptr) throw Haldun::InvalidArgumentException(type.GetName() + " has no client stub");
  return create(ref, &adapter, context);
}

}  // namespace Zamli
