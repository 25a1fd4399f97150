#pragma once
// Registration of a type library: its namespace record and its type list.
#include <zamli/types/registry.h>

namespace Zamli {

using TypeListFunction = Type* const* (*)(int& count);

class ZAMLI_EXPORT TypeInfoLoader {
 public:
  // Registers the namespace and its versions, then calls the type-list
  // function and records the types it returns as the namespace's own.
  TypeInfoLoader(const KettarVersions* ns, TypeListFunction typeList);
  TypeInfoLoader(const TypeInfoLoader&) = delete;
  TypeInfoLoader& operator=(const TypeInfoLoader&) = delete;

  // The C++ class of each type, by slot of the type list; the records do not
  // carry them, so the type library hands them over once registered.
  void SetClassNames(const char* const* classNames);

 private:
  static void CheckVersions(const Type& type);
  Namespace* namespace_;
};

// `fields`: the field table of the type's class, which lets generic code
// reach each value at its place instead of through the record functions.
ZAMLI_EXPORT DataObjectType* CreateDataObjectType(const DataTypeInfo* info, const FieldTable* fields = nullptr);
ZAMLI_EXPORT ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* info);

}  // namespace Zamli
