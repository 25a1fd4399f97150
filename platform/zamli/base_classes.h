#pragma once
// The value classes at the roots of every generated class tree.
#include <zamli/dynamic_data.h>

namespace Zamli {

// Base of all managed object interfaces (kettar.ManagedObject).
class ZAMLI_EXPORT ManagedObject : public Any {
 public:
  ~ManagedObject() override;
};

}  // namespace Zamli
