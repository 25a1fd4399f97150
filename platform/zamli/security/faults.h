#pragma once
// The faults a server answers a call with when it refuses it: raised as
// their own exception classes when the base interface is loaded.
#include <zamli/export.h>

#include <string>

namespace Zamli {

class MoRef;

namespace Security {

// kettar.fault.NoPermission naming `privilege` and `object`.
[[noreturn]] ZAMLI_EXPORT void RaiseNoPermission(const std::string& privilege, const MoRef& object);
// kettar.fault.NotAuthenticated: the call needs a principal and has none.
[[noreturn]] ZAMLI_EXPORT void RaiseNotAuthenticated();

}  // namespace Security
}  // namespace Zamli
