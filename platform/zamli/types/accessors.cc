#include <haldun/date_time.h>
#include <zamli/types/accessors.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/values/any.h>
#include <zamli/values/mo_ref.h>

#include <string>
#include <vector>

namespace Zamli {

namespace {
Type* Lookup(const TypeInfo* info) {
  // Looked up once per type: the registry never drops a type.
  return TypeRegistry::Instance().FindByTypeInfo(info);
}
}  // namespace

template <>
Type* GetNoType<int>() {
  static Type* t = Lookup(&gIntTypeInfo);
  return t;
}
template <>
Type* GetNoType<long>() {
  static Type* t = Lookup(&gLongTypeInfo);
  return t;
}
template <>
Type* GetNoType<float>() {
  static Type* t = Lookup(&gFloatTypeInfo);
  return t;
}
template <>
Type* GetNoType<bool>() {
  static Type* t = Lookup(&gBoolTypeInfo);
  return t;
}
template <>
Type* GetNoType<std::string>() {
  static Type* t = Lookup(&gStringTypeInfo);
  return t;
}
template <>
Type* GetNoType<Haldun::System::DateTime>() {
  static Type* t = Lookup(&gDateTimeTypeInfo);
  return t;
}
template <>
Type* GetNoType<std::vector<unsigned char>>() {
  static Type* t = Lookup(&gBinaryTypeInfo);
  return t;
}
template <>
Type* GetNoType<MoRef>() {
  static Type* t = Lookup(&gKettarManagedObjectTypeInfo);
  return t;
}
template <>
Type* GetNoType<Any>() {
  static Type* t = Lookup(&gAnyTypeInfo);
  return t;
}

}  // namespace Zamli
