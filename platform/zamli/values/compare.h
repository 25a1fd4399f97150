#pragma once
// The comparison and difference drivers for values of any class.
//
// Null and an empty array are the same: no elements. With `flag` set, a null
// `b` under an optional property matches anything (the caller asked to skip
// what the other side left unset). Values of different classes are unequal
// (an enumeration array and an integer array of the same indices excepted).
//
// Paths: a property is `path.name`; an element of a data-object array is
// `path.name[i]`, so a nested change reads `summary.hosts[2].uuid`. Arrays
// of different lengths, arrays of plain values, boxes and references differ
// as a whole: one path for the property.
#include <zamli/values/any.h>

#include <string>
#include <vector>

namespace Zamli {

class DynamicData;

ZAMLI_EXPORT bool AreEqualAnysInt(const Any* a, const Any* b, unsigned int propertyFlags, bool flag);
ZAMLI_EXPORT void DiffAnyPropertiesInt(const Any* a, const Any* b, const std::string& path, const char* name,
                                       unsigned int propertyFlags, PropertyDiffSet& diffs);
// The same for two data objects of one class, property by property; the
// kinds of the properties say which classes can be compared without asking
// the values, and a path is spelt out only for a difference found.
ZAMLI_EXPORT void DiffDataObjects(const DynamicData& a, const DynamicData& b, const std::string& path,
                                  PropertyDiffSet& diffs);

// Exact equality of two values (either may be null).
ZAMLI_EXPORT bool AreEqual(const Any* a, const Any* b);
// The paths in which two values differ, relative to them: "hosts[2].uuid".
ZAMLI_EXPORT std::vector<std::string> ListDifferences(const Any& a, const Any& b);

}  // namespace Zamli
