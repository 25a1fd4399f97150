#pragma once
// The base of every data object.
#include <zamli/values/any.h>
#include <zamli/values/data_array.h>
#include <zamli/values/mo_ref.h>

#include <string>

namespace Zamli {

class DataObjectType;

// kettar.DynamicData. Copying copies no reference count: a copy starts at 0.
class ZAMLI_EXPORT DynamicData : public Any {
 public:
  DynamicData() = default;
  DynamicData(const DynamicData& other) = default;
  ~DynamicData() override;
  virtual DataObjectType* _GetDataType() const = 0;
  // The difference of every data object and fault, through the type's
  // property descriptors: every property of the chain, base first.
  // Generated data classes override it only to come here, so nested data
  // objects are walked without calling theirs.
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  // Through the records: every set property, base first.
  void _Print(Printer& out) const override;
};

template <>
ZAMLI_EXPORT DataObjectType* GetDoType<DynamicData>();

extern template class ZAMLI_EXPORT DataArray<DynamicData>;
extern template class ZAMLI_EXPORT DataArray<MoRef>;

}  // namespace Zamli
