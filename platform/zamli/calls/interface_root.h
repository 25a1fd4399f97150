#pragma once
// The root of every remote service interface (kettar.ManagedObject): what
// interface classes, client stubs and server objects have in common.
#include <haldun/object_impl.h>
#include <haldun/ref.h>
#include <zamli/values/any.h>
#include <zamli/values/mo_ref.h>

namespace Zamli {

class ManagedMethod;
class ManagedObjectType;
class RequestContext;

// Interfaces derive from it virtually, so that a stub or a server object that
// also derives from a runtime base (StubImpl, ServerObject) has one of it.
class ZAMLI_EXPORT ManagedObject : public Haldun::ObjectImpl {
 public:
  ~ManagedObject() override;
  virtual Type* _GetType() const;
  // The reference under which the object is reached.
  virtual MoRef* _GetRef() const = 0;
  // The context of the call being made (stubs) or served (servers); may be null.
  virtual RequestContext* _GetRequestContext() const = 0;
};

}  // namespace Zamli
