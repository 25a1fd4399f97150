#pragma once
// Who may call, and what they may do: the hooks a server consults before it
// dispatches a call. A transport turns what a client presented into
// Credentials and asks its Authenticator for a principal; the Authorizer then
// checks the call against the privileges the method records name.
#include <haldun/ref.h>
#include <zamli/export.h>

#include <optional>
#include <string>
#include <vector>

namespace Zamli {

class Any;
class ManagedMethod;
class MoRef;

namespace Security {

// What a client presented to prove who it is.
struct Credentials {
  enum class Scheme { kNone, kBasic, kBearer };
  Scheme scheme = Scheme::kNone;
  std::string user;    // kBasic only
  std::string secret;  // the password (kBasic) or the token (kBearer)
};

class ZAMLI_EXPORT Authenticator {
 public:
  virtual ~Authenticator();
  // The principal the credentials prove, or nothing when they prove none.
  virtual std::optional<std::string> Authenticate(const Credentials& credentials) = 0;
};

class ZAMLI_EXPORT Authorizer {
 public:
  virtual ~Authorizer();
  // Returns when `principal` may call `method` on `target` with `args`
  // (decoded, in declared order); raises kettar.fault.NoPermission, naming
  // the privilege and the object, when not.
  virtual void Authorize(const std::string& principal, const MoRef& target, const ManagedMethod& method,
                         const std::vector<Haldun::Ref<Any>>& args) = 0;
};

}  // namespace Security
}  // namespace Zamli
