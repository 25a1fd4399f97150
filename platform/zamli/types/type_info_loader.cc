#include <zamli/types/type_info_loader.h>

namespace Zamli {

DataObjectType* CreateDataObjectType(const DataTypeInfo* info, const FieldTable* fields) {
  TypeRegistry& registry = TypeRegistry::Instance();
  DataObjectType* base = nullptr;
  if (info->baseType != nullptr) {
    base = dynamic_cast<DataObjectType*>(registry.FindByTypeInfo(info->baseType));
    if (base == nullptr) {
      registry.AddProblem(std::string("base ") + info->baseType->name + " of " + info->type->name +
                          " is not registered before it");
    }
  }
  auto* type = new DataObjectType(info, base, fields);
  if (fields != nullptr && !type->HasFieldOffsets()) {
    registry.AddProblem(std::string("the field table of ") + info->type->name + " does not match its property records");
  }
  registry.AddType(type);
  type->ResolvePropertyTypes(registry);
  return type;
}

ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* info) {
  auto* type = new ManagedObjectType(info);
  TypeRegistry::Instance().AddType(type);
  return type;
}

TypeInfoLoader::TypeInfoLoader(const KettarVersions* record, TypeListFunction typeList) {
  TypeRegistry& registry = TypeRegistry::Instance();
  namespace_ = registry.AddNamespace(*record);
  int count = 0;
  Type* const* types = typeList(count);
  namespace_->types_.assign(types, types + count);
  for (Type* t : namespace_->types_) {
    t->namespace_ = namespace_;
    CheckVersions(*t);
    if (auto* data = dynamic_cast<DataObjectType*>(t)) data->ResolvePropertyTypes(registry);
  }
}

namespace {
void CheckVersion(const std::string& where, const char* version) {
  TypeRegistry& registry = TypeRegistry::Instance();
  if (version == nullptr || registry.FindVersion(version) == nullptr) {
    registry.AddProblem(where + " names the unknown version " + (version ? version : "(null)"));
  }
}

void CheckTable(const std::string& where, const PropertyInfo* table) {
  for (int i = 0; table != nullptr && table[i].type != nullptr; ++i) {
    CheckVersion(where + "." + table[i].name, table[i].version);
  }
}
}  // namespace

void TypeInfoLoader::CheckVersions(const Type& type) {
  CheckVersion(type.GetName(), type.GetVersionName().c_str());
  if (auto* data = dynamic_cast<const DataObjectType*>(&type)) {
    CheckTable(type.GetName(), data->GetDataTypeInfo()->properties);
  } else if (auto* managed = dynamic_cast<const ManagedObjectType*>(&type)) {
    const ManagedTypeInfo* info = managed->GetManagedTypeInfo();
    CheckTable(type.GetName(), info->properties);
    for (int k = 0; k < managed->GetMethodCount(); ++k) {
      const MethodInfo& m = info->methods[k];
      std::string where = type.GetName() + "." + m.name;
      CheckVersion(where, m.version);
      CheckVersion(where + ".result", m.result.version);
      CheckTable(where, m.params);
    }
  }
}

void TypeInfoLoader::SetClassNames(const char* const* classNames) {
  for (size_t i = 0; i < namespace_->types_.size(); ++i) namespace_->types_[i]->className_ = classNames[i];
}

}  // namespace Zamli
