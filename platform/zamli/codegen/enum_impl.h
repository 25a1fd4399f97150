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
Any* EnumFunctions<E>::CreateArray() {
  return MakeValue<Array<E>>();
}

template <Enumeration E>
EnumType* CreateEnumType(const EnumTypeInfo* info) {
  using F = EnumFunctions<E>;
  return NewEnumType(info, &F::UnboxValue, &F::BoxValue, &F::CreateArray);
}

}  // namespace Zamli

// Everything one enumeration needs, instantiated where its library defines it.
// Its box and array classes are header-only and not exported: each library
// instantiates those it uses.
#define ZAMLI_DEFINE_ENUMERATION(E)          \
  template struct ::Zamli::EnumFunctions<E>; \
  template ::Zamli::EnumType* ::Zamli::CreateEnumType<E>(const ::Zamli::EnumTypeInfo*);
