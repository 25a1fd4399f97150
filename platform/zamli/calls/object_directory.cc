#include <zamli/calls/object_directory.h>
#include <zamli/types/type.h>

namespace Zamli {

ObjectDirectory::~ObjectDirectory() = default;

Haldun::Ref<Any> ObjectDirectory::Dispatch(const MoRef& target, const ManagedMethod& method,
                                           std::vector<Haldun::Ref<Any>>& args) {
  Haldun::Ref<ManagedObject> object = Find(target);
  if (!object) {
    throw Haldun::NotFoundException("no object is served as " + target.GetTypeName() + " " + target.GetId());
  }
  Haldun::Ref<Any> result;
  method.GetOwner()->GetManagedTypeInfo()->dispatch(object.Get(), method.GetMemberIndex(), args, result);
  return result;
}

}  // namespace Zamli
