#pragma once
// Definitions behind enum_value.h, instantiated once per enumeration where
// its type library defines it.
#include <zamli/values/enum_value.h>
#include <zamli/values/narrow.h>
#include <zamli/values/printer.h>

namespace Zamli {

template <Enumeration E>
int EnumFunctions<E>::UnboxValue(const Any* value) {
  return NarrowTo<Primitive<E>>(value)->GetIndex();
}

template <Enumeration E>
Any* EnumFunctions<E>::BoxValue(int index) {
  return new Primitive<E>(index);
}

template <Enumeration E>
void EnumFunctions<E>::ArrayToTags(const Any* array, const EnumType* type, Haldun::Ref<Array<std::string>>& tags) {
  if (array == nullptr) throw Haldun::InvalidArgumentException("no enumeration array to convert to tags");
  // Exactly an array of E: an int array or another enumeration's is a mismatch.
  if (typeid(*array) != typeid(Array<E>)) Haldun::ThrowTypeMismatchException(typeid(Array<E>), typeid(*array));
  const std::vector<int>& values = static_cast<const Array<E>*>(array)->GetPresentation()->GetValues();
  Haldun::Ref<Array<std::string>> result(new Array<std::string>(std::vector<std::string>(values.size())));
  tags = result;
  for (size_t i = 0; i < values.size(); ++i) result->GetValues()[i] = type->GetTag(values[i]);
}

template <Enumeration E>
Any* EnumFunctions<E>::ArrayFromTags(const Array<std::string>* tags, const EnumType* type) {
  // Held while filling: an unknown tag frees the new array on its way out.
  Haldun::Ref<Array<E>> result(new Array<E>());
  const size_t n = tags ? tags->GetLength() : 0;
  std::vector<int>& values = result->GetPresentation()->GetValues();
  values.reserve(n);
  values.assign(n, 0);
  for (size_t i = 0; i < n; ++i) values[i] = type->GetValue((*tags)[i]);
  return result.Detach();
}

template <Enumeration E>
Any* EnumFunctions<E>::CreateArray() {
  return new Array<E>();
}

template <Enumeration E>
EnumType* CreateEnumType(const EnumTypeInfo* info) {
  return new EnumType(info, MakeEnumFuncs<E>());
}

}  // namespace Zamli

// Everything one enumeration needs, instantiated where its library defines it.
// Its box and array classes are header-only and not exported: each library
// instantiates those it uses.
#define ZAMLI_DEFINE_ENUMERATION(E)          \
  template struct ::Zamli::EnumFunctions<E>; \
  template ::Zamli::EnumType* ::Zamli::CreateEnumType<E>(const ::Zamli::EnumTypeInfo*);
