#include <zamli/base_classes.h>

namespace Zamli {
// Out of line, so that the vtable lives once, in the runtime.
ManagedObject::~ManagedObject() = default;
}  // namespace Zamli
