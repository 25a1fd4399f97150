#pragma once
// The value classes at the roots of every generated class tree.
#include <string>

#include <haldun/object_impl.h>
#include <zamli/export.h>

namespace Zamli {

class Type;

// Every runtime value: reference counted, reports its registered type.
class ZAMLI_EXPORT Any : public Haldun::ObjectImpl {
 public:
  ~Any() override;
  // Null until the value classes of a type library report their types.
  virtual Type* _GetType() const { return nullptr; }
};

// Base of all data objects (kettar.DynamicData).
class ZAMLI_EXPORT DynamicData : public Any {
 public:
  ~DynamicData() override;
};

// Base of all faults (kettar.MethodFault).
class ZAMLI_EXPORT MethodFault : public DynamicData {
 public:
  ~MethodFault() override;
};

// Base of all managed object interfaces (kettar.ManagedObject).
class ZAMLI_EXPORT ManagedObject : public Any {
 public:
  ~ManagedObject() override;
};

}  // namespace Zamli
