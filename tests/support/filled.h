#pragma once
// Filled data objects for the suites: every property of every type (foreign
// ones too), `maxDepth` levels down, two elements per array.
#include <value_filler.h>
#include <zamli/types/registry.h>

#include <vector>

namespace PelkTest {

// The data and fault types of a namespace's type list, in slot order.
inline std::vector<const Zamli::DataObjectType*> DataTypesOf(const char* ns) {
  std::vector<const Zamli::DataObjectType*> out;
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().FindNamespace(ns)->GetTypes()) {
    if (auto* d = dynamic_cast<const Zamli::DataObjectType*>(t)) out.push_back(d);
  }
  return out;
}

inline FillOptions EveryProperty(int maxDepth = 2) {
  FillOptions options;
  options.maxDepth = maxDepth;
  options.arrayLength = [](int) { return 2; };
  options.onlyOwnNamespace = false;
  return options;
}

// `changeAt`: the counter of the one value to change (see FillOptions::changed).
inline Haldun::Ref<Zamli::DynamicData> Filled(const Zamli::DataObjectType& type, int maxDepth = 2, long changeAt = -1) {
  FillOptions options = EveryProperty(maxDepth);
  if (changeAt >= 0) options.changed = [changeAt](long c) { return c == changeAt; };
  return ValueFiller(options).Build(type);
}

inline Haldun::Ref<Zamli::DynamicData> FilledShallow(const Zamli::DataObjectType& type) { return Filled(type, 1); }

}  // namespace PelkTest
