// The class search behind NarrowTo: what dynamic_cast does for a T, done for
// a class given by its record, so that every T shares one copy.
#include <zamli/values/narrow.h>

#include <cxxabi.h>

namespace Zamli {

void* FindClassIn(Any* value, const std::type_info& cls) {
  // -1: no hint about where the class lies in the tree.
  void* found = abi::__dynamic_cast(value, static_cast<const abi::__class_type_info*>(&typeid(Any)),
                                    static_cast<const abi::__class_type_info*>(&cls), -1);
  if (found == nullptr) Haldun::ThrowTypeMismatchException(cls, typeid(*value));
  return found;
}

}  // namespace Zamli
