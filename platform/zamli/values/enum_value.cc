#include <zamli/values/enum_value.h>

namespace Zamli {
namespace {

// The mismatch error names both classes: the expected one is made only for
// its name, on this path alone.
[[noreturn]] void ThrowNotArrayOf(const EnumType* type, const Any& array) {
  if (type->GetFuncs().CreateArray == nullptr) {
    throw Haldun::InvalidArgumentException("enumeration " + type->GetName() + " makes no arrays");
  }
  Haldun::Ref<Any> expected(type->GetFuncs().CreateArray());
  const Any* made = expected.Get();
  Haldun::ThrowTypeMismatchException(typeid(*made), typeid(array));
}

}  // namespace

// The empty array cannot fail to be made; if the values' copy throws, the
// array is destroyed.
Any* CloneEnumArray(const Array<int>& from, std::size_t size, Any* (*construct)(void* block) noexcept) {
  auto* copy = static_cast<Array<int>*>(NewValue(size, construct));
  try {
    copy->GetValues() = from.GetValues();
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

void DiffWhole(const Any& value, const Any* other, const std::string& path, PropertyDiffSet& diffs) {
  if (!value._IsEqual(other, false)) diffs.AddChanged(path);
}

EnumType* NewEnumType(const EnumTypeInfo* info, int (*unboxValue)(const Any*), Any* (*boxValue)(int),
                      Any* (*createArray)()) {
  return new EnumType(info, EnumFuncs{unboxValue, boxValue, &EnumArrayToTags, &EnumArrayFromTags, createArray});
}

void EnumArrayToTags(const Any* array, const EnumType* type, Haldun::Ref<Array<std::string>>& tags) {
  if (array == nullptr) throw Haldun::InvalidArgumentException("no enumeration array to convert to tags");
  // Exactly the enumeration's array: an int array or another enumeration's
  // answers another type.
  if (array->_GetType() != type->GetArrayType()) ThrowNotArrayOf(type, *array);
  // An enumeration array presents its own int storage.
  const std::vector<int>& values = static_cast<const Array<int>*>(array)->GetValues();
  Haldun::Ref<Array<std::string>> result(new Array<std::string>(std::vector<std::string>(values.size())));
  tags = result;
  for (size_t i = 0; i < values.size(); ++i) result->GetValues()[i] = type->GetTag(values[i]);
}

Any* EnumArrayFromTags(const Array<std::string>* tags, const EnumType* type) {
  // Held while filling: an unknown tag frees the new array on its way out.
  Haldun::Ref<Any> result(type->GetFuncs().CreateArray());
  const size_t n = tags ? tags->GetLength() : 0;
  std::vector<int>& values = static_cast<Array<int>*>(result.Get())->GetValues();
  values.reserve(n);
  values.assign(n, 0);
  for (size_t i = 0; i < n; ++i) values[i] = type->GetValue((*tags)[i]);
  return result.Detach();
}

}  // namespace Zamli
