#include <zamli/values/enum_value.h>

namespace Zamli {

void EnumArrayToTags(const Any* array, const EnumType* type, Haldun::Ref<Array<std::string>>& tags) {
  if (array == nullptr) throw Haldun::InvalidArgumentException("no enumeration array to convert to tags");
  const std::type_info* expected = type->GetArrayClass();
  if (expected == nullptr) throw Haldun::InvalidArgumentException("enumeration " + type->GetName() + " makes no arrays");
  // Exactly the enumeration's array: an int array or another enumeration's
  // is a mismatch.
  if (typeid(*array) != *expected) Haldun::ThrowTypeMismatchException(*expected, typeid(*array));
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
