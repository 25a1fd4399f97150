#pragma once
// The server side of a call, whatever carried it: finds the object a
// reference names and runs a decoded call on it. The in-process adapter is
// one; a transport's server half decodes a request, hands it to a directory
// and encodes what comes back (see Wire::Serve).
#include <haldun/ref.h>
#include <haldun/exception.h>
#include <zamli/calls/interface_root.h>
#include <zamli/values/mo_ref.h>

#include <vector>

namespace Zamli {

class ZAMLI_EXPORT ObjectDirectory {
 public:
  virtual ~ObjectDirectory();

  // The object served under the reference's id; null when there is none.
  virtual Haldun::Ref<ManagedObject> Find(const MoRef& ref) const = 0;

  // Runs `method` (a member of the target's managed type or of one of its
  // bases) with `args` in declared order, which the implementation may take,
  // and answers its result: null for none. The fault the implementation
  // raises reaches the caller as its own exception class, and so does any
  // other error; no object served as `target` is Haldun::NotFoundException.
  virtual Haldun::Ref<Any> Dispatch(const MoRef& target, const ManagedMethod& method,
                                    std::vector<Haldun::Ref<Any>>& args);
};

}  // namespace Zamli
