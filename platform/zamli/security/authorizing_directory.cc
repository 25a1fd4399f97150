#include <zamli/calls/server_call_scope.h>
#include <zamli/security/authorizing_directory.h>

namespace Zamli::Security {

Haldun::Ref<Any> AuthorizingDirectory::Dispatch(const MoRef& target, const ManagedMethod& method,
                                                std::vector<Haldun::Ref<Any>>& args) {
  const ServerCallInfo* call = ServerCallScope::Current();
  static const std::string kAnonymous;
  authorizer_.Authorize(call ? call->principal : kAnonymous, target, method, args);
  return served_.Dispatch(target, method, args);
}

}  // namespace Zamli::Security
