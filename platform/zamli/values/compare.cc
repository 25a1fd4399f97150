#include <zamli/types/records.h>
#include <zamli/types/type.h>
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

// Comparable, for values of property `p`: its arrays of primitives are plain
// arrays on both sides, and its other values but anyType's never are.
bool ComparableAs(const PropertyRef& p, const Any* a, const Any* b) {
  if (p.array && IsPrimitive(p.kind)) return true;
  if (p.kind == ValueKind::kAny || p.kind == ValueKind::kEnum) return Comparable(a, b);
  return typeid(*a) == typeid(*b);
}

template <class Test>
void Diff(const Any* a, const Any* b, const std::string& path, const char* name, PropertyDiffSet& diffs,
          Test comparable) {
  if (a == b) return;
  if (a == nullptr || b == nullptr) {
    if (!IsEmptyCollection(a == nullptr ? b : a)) diffs.AddChanged(path + name);
    return;
  }
  if (!comparable(a, b)) {
    diffs.AddChanged(path + name);
    return;
  }
  a->_DiffProperties(b, path + name, diffs);
}

}  // namespace

bool AreEqualAnysInt(const Any* a, const Any* b, unsigned int propertyFlags, bool flag) {
  if (a == b) return true;
  if (b == nullptr) return (flag && (propertyFlags & kOptionalFlag)) || IsEmptyCollection(a);
  if (a == nullptr) return IsEmptyCollection(b);
  return Comparable(a, b) && a->_IsEqual(b, flag);
}

void DiffAnyPropertiesInt(const Any* a, const Any* b, const std::string& path, const char* name,
                          unsigned int /*propertyFlags*/, PropertyDiffSet& diffs) {
  Diff(a, b, path, name, diffs, Comparable);
}

void DiffPropertyValues(const PropertyRef& p, const Any* a, const Any* b, const std::string& path, const char* name,
                        PropertyDiffSet& diffs) {
  Diff(a, b, path, name, diffs, [&p](const Any* x, const Any* y) { return ComparableAs(p, x, y); });
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
