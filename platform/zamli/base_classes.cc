#include <zamli/base_classes.h>

namespace Zamli {
// Out of line, so that each class's vtable lives once, in the runtime.
Any::~Any() = default;
DynamicData::~DynamicData() = default;
MethodFault::~MethodFault() = default;
ManagedObject::~ManagedObject() = default;
}  // namespace Zamli
