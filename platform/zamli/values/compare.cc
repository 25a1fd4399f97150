#include <zamli/types/records.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>

#include <typeinfo>

namespace Zamli {

namespace {

// Arrays of plain values decide for themselves which arrays they equal (an
// enumeration array equals an int array of the same indices).
bool PlainArray(const Any* v) {
  return dynamic_cast<const Collection*>(v) != nullptr && dynamic_cast<const DataArrayBase*>(v) == nullptr;
}

// Every other value needs the other side to be of its very class.
bool Comparable(const Any* a, const Any* b) { return (PlainArray(a) && PlainArray(b)) || typeid(*a) == typeid(*b); }

}  // namespace

bool AreEqualAnysInt(const Any* a, const Any* b, unsigned int propertyFlags, bool flag) {
  if (a == b) return true;
  if (b == nullptr) return (flag && (propertyFlags & kOptionalFlag)) || IsEmptyCollection(a);
  if (a == nullptr) return IsEmptyCollection(b);
  return Comparable(a, b) && a->_IsEqual(b, flag);
}

void DiffAnyPropertiesInt(const Any* a, const Any* b, const std::string& path, const char* name,
                          unsigned int /*propertyFlags*/, PropertyDiffSet& diffs) {
  if (a == b) return;
  if (a == nullptr || b == nullptr) {
    if (!IsEmptyCollection(a == nullptr ? b : a)) diffs.AddChanged(path + name);
    return;
  }
  if (!Comparable(a, b)) {
    diffs.AddChanged(path + name);
    return;
  }
  a->_DiffProperties(b, path + name, diffs);
}

bool AreEqual(const Any* a, const Any* b) { return AreEqualAnysInt(a, b, 0, false); }

std::vector<std::string> ListDifferences(const Any& a, const Any& b) {
  PropertyDiffSet diffs;
  DiffAnyPropertiesInt(&a, &b, "", "", 0, diffs);
  std::vector<std::string> paths = diffs.GetChanged();
  // The root's own properties come as ".name"; report them from the root.
  for (std::string& p : paths) {
    if (!p.empty() && p[0] == '.') p.erase(0, 1);
  }
  return paths;
}

}  // namespace Zamli
