#pragma once
// The type objects of the runtime's own value types.
#include <zamli/export.h>

namespace Zamli {
class Type;
// Defined for int, long, float, bool, std::string, Haldun::System::DateTime,
// std::vector<unsigned char>, Zamli::MoRef (any managed object) and Zamli::Any.
template <class T>
ZAMLI_EXPORT Type* GetNoType();
}  // namespace Zamli
