#pragma once
// Naming a managed object by its interface class and an id, and reaching it
// through an adapter, without spelling its type name or its stub class:
//   Haldun::Ref<Qor::HostSystem> host = Zamli::MakeStub<Qor::HostSystem>(adapter, "host-12");
#include <haldun/ref.h>
#include <zamli/calls/stub.h>
#include <zamli/types/accessors.h>
#include <zamli/types/records.h>
#include <zamli/types/type.h>
#include <zamli/values/mo_ref.h>

#include <string>
#include <typeinfo>
#include <utility>

namespace Zamli {

// The registered type object of an interface class; Haldun::InvalidStateException
// when its library has not registered it.
ZAMLI_EXPORT const ManagedObjectType& RequireMoType(const ManagedObjectType* type, const std::type_info& cls);

// A new stub of `type` (count 0); Haldun::InvalidArgumentException for a type
// without stubs.
ZAMLI_EXPORT StubImpl* CreateStub(const ManagedObjectType& type, MoRef* ref, StubAdapter& adapter,
                                  RequestContext* context);

// A reference to the object `id` of interface I.
template <class I>
Haldun::Ref<MoRef> MakeRef(std::string id) {
  return Haldun::Ref<MoRef>(new MoRef(RequireMoType(GetMoType<I>(), typeid(I)).GetName(), std::move(id)));
}

// A stub of I for the object `id`, calling through `adapter` (which must
// outlive it) with `context`, which may be null.
template <class I>
Haldun::Ref<I> MakeStub(StubAdapter& adapter, std::string id, RequestContext* context = nullptr) {
  Haldun::Ref<MoRef> ref = MakeRef<I>(std::move(id));
  // The stub derives from I and from StubImpl: a cross cast finds I in it.
  return Haldun::Ref<I>(dynamic_cast<I*>(CreateStub(*GetMoType<I>(), ref.Get(), adapter, context)));
}

}  // namespace Zamli
