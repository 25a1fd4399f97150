#pragma once
// Faults of the base interface built by name through the registry, so that
// the transport needs no generated classes.
#include <haldun/ref.h>
#include <zamli/values/method_fault.h>

#include <string>

namespace Zamli::Http {

// A fault of type `typeName` whose first message is `message`; a fault type
// that is not registered gives kettar.fault.SystemError, and when that is
// missing too Haldun::InvalidStateException is raised.
Haldun::Ref<MethodFault> FaultNamed(const char* typeName, const std::string& message);

}  // namespace Zamli::Http
