#include <zamli/types/accessors.h>
#include <zamli/values/mo_ref.h>
#include <zamli/values/narrow.h>
#include <zamli/values/printer.h>

namespace Zamli {

Type* MoRef::_GetType() const { return GetNoType<MoRef>(); }

Any* MoRef::_Clone() const { return const_cast<MoRef*>(this); }

bool MoRef::_IsEqual(const Any* other, bool) const {
  const MoRef* ref = NarrowTo<MoRef>(other);
  return ref != nullptr && ref->type_ == type_ && ref->id_ == id_;
}

void MoRef::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  if (!_IsEqual(other, false)) diffs.AddChanged(path);
}

void MoRef::_Print(Printer& out) const {
  out.Raw("'");
  out.Raw(type_);
  out.Raw(":");
  out.Raw(id_);
  out.Raw("'");
}

}  // namespace Zamli
