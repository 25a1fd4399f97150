#pragma once
// A directory that asks an Authorizer before every call it forwards: wrap
// the directory that serves the objects, and hand this one to the transport.
// The principal is the one of the call this thread serves (ServerCallScope);
// outside a scope the call is anonymous.
#include <zamli/calls/object_directory.h>
#include <zamli/security/access.h>

namespace Zamli::Security {

class ZAMLI_EXPORT AuthorizingDirectory : public ObjectDirectory {
 public:
  // Both must outlive the directory.
  AuthorizingDirectory(ObjectDirectory& served, Authorizer& authorizer) : served_(served), authorizer_(authorizer) {}

  Haldun::Ref<ManagedObject> Find(const MoRef& ref) const override { return served_.Find(ref); }
  Haldun::Ref<Any> Dispatch(const MoRef& target, const ManagedMethod& method,
                            std::vector<Haldun::Ref<Any>>& args) override;

 private:
  ObjectDirectory& served_;
  Authorizer& authorizer_;
};

}  // namespace Zamli::Security
