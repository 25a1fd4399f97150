#pragma once
#include <zamli/values/any.h>

namespace Zamli {

// Base of every array: data-object arrays and arrays of plain values.
class ZAMLI_EXPORT Collection : public Any {
 public:
  ~Collection() override;
  virtual int GetCollectionLength() const = 0;
};

// True for an array without elements; null and empty mean the same.
inline bool IsEmptyCollection(const Any* value) {
  auto* c = dynamic_cast<const Collection*>(value);
  return c != nullptr && c->GetCollectionLength() == 0;
}

}  // namespace Zamli
