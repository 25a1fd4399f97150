#pragma once
// The record functions of a data type, declared for every class; their
// definitions (data_object_impl.h) are instantiated once, where the class is
// defined, so that a record table can take their addresses cheaply.
#include <zamli/types/records.h>

namespace Zamli {

template <class T>
struct DataFunctions {
  static void GetProperty(DynamicData* obj, int index, void* out);
  static const void* GetPropertyAddr(DynamicData* obj, int index);
  static void SetProperty(DynamicData* obj, int index, const void* in);
  static void SwapProperty(DynamicData* obj, int index, void* other);
  // Defined for every index: one at or past the own properties answers true.
  static bool IsPropertySet(const DynamicData* obj, int index);
  static void UnsetProperty(DynamicData* obj, int index);
  static DynamicData* CreateInstance();
  static DataArrayBase* CreateArray();
};

enum class DataShape {
  kNoProperties,  // only isPropertySet and the factories
  kAllRequired,   // no unsetProperty
  kWithOptional,  // every function
};

template <class T>
constexpr DataTypeInfo MakeDataTypeInfo(const TypeInfo* type, const TypeInfo* base, const PropertyInfo* properties,
                                        DataShape shape) {
  using F = DataFunctions<T>;
  const bool own = shape != DataShape::kNoProperties;
  return DataTypeInfo{type,
                      base,
                      properties,
                      own ? &F::GetProperty : nullptr,
                      own ? &F::GetPropertyAddr : nullptr,
                      own ? &F::SetProperty : nullptr,
                      own ? &F::SwapProperty : nullptr,
                      &F::IsPropertySet,
                      shape == DataShape::kWithOptional ? &F::UnsetProperty : nullptr,
                      &F::CreateInstance,
                      &F::CreateArray,
                      nullptr};
}

}  // namespace Zamli
