#include <zamli/security/access.h>

namespace Zamli::Security {

Authenticator::~Authenticator() = default;
Authorizer::~Authorizer() = default;

}  // namespace Zamli::Security
