#pragma once
#include <zamli/types/records.h>

#include <cstring>

namespace Zamli {

// Index of the property whose name is exactly `length` bytes at `name`, or -1.
inline int FindPropertyIn(const PropertyInfo* table, const char* name, int length) {
  if (name == nullptr || length < 0) return -1;
  for (int i = 0; table[i].type != nullptr; ++i) {
    const char* candidate = table[i].name;
    if (std::strncmp(candidate, name, static_cast<size_t>(length)) == 0 && candidate[length] == '\0') {
      return i;
    }
  }
  return -1;
}

// One instance per managed type with properties: its record's findProperty.
template <const PropertyInfo* Table>
int FindProperty(const char* name, int length) {
  return FindPropertyIn(Table, name, length);
}

}  // namespace Zamli
