#include <haldun/object_impl.h>

namespace Haldun {

// Out of line so the vtable and type_info are emitted once, in the runtime
// library, rather than as weak copies in every user.
ObjectImpl::~ObjectImpl() = default;

}  // namespace Haldun
