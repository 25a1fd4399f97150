#include <haldun/optional.h>
#include <zamli/types/records.h>
#include <zamli/types/type.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/narrow.h>
#include <zamli/values/property_value.h>

#include <cstring>
#include <string>
#include <typeinfo>

namespace Zamli {

namespace {

// Arrays of plain values decide for themselves which arrays they equal (an
// enumeration array equals an int array of the same indices).
bool PlainArray(const Any* v) {
  return dynamic_cast<const Collection*>(v) != nullptr && dynamic_cast<const DataArrayBase*>(v) == nullptr;
}

// Every other value needs the other side to be of its very class. The same
// class record settles most cases without searching the class tree.
bool Comparable(const Any* a, const Any* b) {
  return SameClass(a, b) || (PlainArray(a) && PlainArray(b)) || typeid(*a) == typeid(*b);
}

// Comparable, for values of property `p`: its arrays of primitives are plain
// arrays on both sides, and its other values but anyType's never are.
bool ComparableAs(const PropertyRef& p, const Any* a, const Any* b) {
  if (p.array && IsPrimitive(p.kind)) return true;
  if (SameClass(a, b)) return true;
  if (p.kind == ValueKind::kAny || p.kind == ValueKind::kEnum) return Comparable(a, b);
  return typeid(*a) == typeid(*b);
}

// A path that is spelt out only when a difference is recorded: each level
// names itself and links to its parent, which lives in a caller's frame.
class LazyPath {
 public:
  explicit LazyPath(const std::string& root) : root_(&root) {}
  LazyPath(const LazyPath& parent, const char* name) : parent_(&parent), name_(name) {}
  LazyPath(const LazyPath& parent, size_t index) : parent_(&parent), index_(index) {}

  std::string Spell() const {
    std::string text;
    AppendTo(text);
    return text;
  }

 private:
  void AppendTo(std::string& text) const {
    if (parent_ == nullptr) {
      text += *root_;
      return;
    }
    parent_->AppendTo(text);
    if (name_ != nullptr) {
      text += '.';
      text += name_;
    } else {
      text += '[';
      text += std::to_string(index_);
      text += ']';
    }
  }

  const LazyPath* parent_ = nullptr;
  const std::string* root_ = nullptr;
  const char* name_ = nullptr;
  size_t index_ = 0;
};

void Record(const LazyPath& path, PropertyDiffSet& diffs) { diffs.AddChanged(path.Spell()); }

// Null, or an empty array, on one side only (a == b is handled before).
bool OneSideMissing(const Any* a, const Any* b, const LazyPath& path, PropertyDiffSet& diffs) {
  if (a != nullptr && b != nullptr) return false;
  if (!IsEmptyCollection(a == nullptr ? b : a)) Record(path, diffs);
  return true;
}

// Two values of an in-place kind, as getPropertyAddr hands them out (null: unset).
bool SameInlineValue(const PropertyRef& p, const void* a, const void* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return VisitValues(p, a, b, [](const auto& x, const auto& y) { return x == y; });
}

// The same, for two fields of property `p` read at their place in the
// objects: an optional's flag decides before its value.
template <class V>
bool SameStored(const PropertyRef& p, const char* a, const char* b) {
  if (p.optional)
    return *reinterpret_cast<const Haldun::Optional<V>*>(a) == *reinterpret_cast<const Haldun::Optional<V>*>(b);
  return *reinterpret_cast<const V*>(a) == *reinterpret_cast<const V*>(b);
}
bool SameStoredValue(const PropertyRef& p, const char* a, const char* b) {
  switch (p.kind) {
    case ValueKind::kString:
      return SameStored<std::string>(p, a, b);
    case ValueKind::kBool:
      return SameStored<bool>(p, a, b);
    case ValueKind::kInt:
      return SameStored<int>(p, a, b);
    case ValueKind::kLong:
      return SameStored<long>(p, a, b);
    case ValueKind::kFloat:
      return SameStored<float>(p, a, b);
    case ValueKind::kDateTime:
      return SameStored<Haldun::System::DateTime>(p, a, b);
    default:
      return SameStored<std::vector<unsigned char>>(p, a, b);
  }
}

// A reference field holds one pointer, to a class derived from Any alone;
// an empty array counts as none, as getPropertyAddr has it.
const Any* StoredReference(const PropertyRef& p, const char* field) {
  const Any* value;
  std::memcpy(&value, field, sizeof value);
  if (p.array && value != nullptr && static_cast<const Collection*>(value)->GetCollectionLength() == 0) return nullptr;
  return value;
}

void DiffObjects(const DynamicData& a, const DynamicData& b, const LazyPath& path, PropertyDiffSet& diffs);

// Two elements of an array of data objects or references.
void DiffElements(ValueKind kind, const Any* a, const Any* b, const LazyPath& path, PropertyDiffSet& diffs) {
  if (a == b || OneSideMissing(a, b, path, diffs)) return;
  if (!Comparable(a, b)) {
    Record(path, diffs);
  } else if (kind == ValueKind::kData) {
    DiffObjects(*static_cast<const DynamicData*>(a), *static_cast<const DynamicData*>(b), path, diffs);
  } else if (!a->_IsEqual(b, false)) {
    Record(path, diffs);
  }
}

// Two values of property `p` that are not stored in place; `path` names the property.
void DiffReferenced(const PropertyRef& p, const Any* a, const Any* b, const LazyPath& path, PropertyDiffSet& diffs) {
  if (a == b || OneSideMissing(a, b, path, diffs)) return;
  if (!ComparableAs(p, a, b)) {
    Record(path, diffs);
    return;
  }
  const bool objects = p.kind == ValueKind::kData || p.kind == ValueKind::kMoRef;
  if (p.array && objects) {
    // An array of data objects or references: element by element, unless
    // elements were added or removed.
    const auto& x = static_cast<const DataArrayBase*>(a)->GetElements();
    const auto& y = static_cast<const DataArrayBase*>(b)->GetElements();
    if (x.size() != y.size()) {
      Record(path, diffs);
      return;
    }
    for (size_t i = 0; i < x.size(); ++i) DiffElements(p.kind, x[i].Get(), y[i].Get(), LazyPath(path, i), diffs);
  } else if (p.kind == ValueKind::kData) {
    DiffObjects(*static_cast<const DynamicData*>(a), *static_cast<const DynamicData*>(b), path, diffs);
  } else if (p.array ? IsPrimitive(p.kind) || p.kind == ValueKind::kEnum : objects || p.kind == ValueKind::kEnum) {
    // Arrays of plain values, references and enumeration values differ as a whole.
    if (!a->_IsEqual(b, false)) Record(path, diffs);
  } else {
    // anyType, its arrays and dynamic arrays: the value's class says how.
    a->_DiffProperties(b, path.Spell(), diffs);
  }
}

// Data objects and faults: through the type's property descriptors, base first.
// Their classes all difference this way (DynamicData::_DiffProperties), so
// nested objects are walked here without a virtual call each. A property
// whose place in the object is known is read there; the others through the
// record functions.
void DiffObjects(const DynamicData& a, const DynamicData& b, const LazyPath& path, PropertyDiffSet& diffs) {
  auto* self = const_cast<DynamicData*>(&a);
  auto* that = const_cast<DynamicData*>(&b);
  for (const PropertyRef& p : a._GetDataType()->GetAllProperties()) {
    if (p.offset >= 0) {
      const char* fieldA = reinterpret_cast<const char*>(&a) + p.offset;
      const char* fieldB = reinterpret_cast<const char*>(&b) + p.offset;
      if (p.IsInline()) {
        if (!SameStoredValue(p, fieldA, fieldB)) Record(LazyPath(path, p.info->name), diffs);
        continue;
      }
      const Any* x = StoredReference(p, fieldA);
      const Any* y = StoredReference(p, fieldB);
      if (x != y) DiffReferenced(p, x, y, LazyPath(path, p.info->name), diffs);
      continue;
    }
    const auto addressOf = p.owner->GetDataTypeInfo()->getPropertyAddr;
    const void* x = addressOf(self, p.index);
    const void* y = addressOf(that, p.index);
    if (p.IsInline()) {
      if (!SameInlineValue(p, x, y)) Record(LazyPath(path, p.info->name), diffs);
    } else if (x != y) {
      DiffReferenced(p, static_cast<const Any*>(x), static_cast<const Any*>(y), LazyPath(path, p.info->name), diffs);
    }
  }
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

void DiffDataObjects(const DynamicData& a, const DynamicData& b, const std::string& path, PropertyDiffSet& diffs) {
  DiffObjects(a, b, LazyPath(path), diffs);
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
