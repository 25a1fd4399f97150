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
// Checks that records name known versions. Registration checks thousands and
// nearly all are fine, so the place a record sits is spelt out only for a
// problem, and a version literal found once is not looked up again (the
// records of one file share their literals).
class VersionCheck {
 public:
  // The place is `owner.member.part`, without the parts left empty.
  void operator()(const char* version, std::string_view owner, std::string_view member = {},
                  std::string_view part = {}) {
    if (version != nullptr && version == lastKnown_) return;
    TypeRegistry& registry = TypeRegistry::Instance();
    if (version != nullptr && registry.FindVersion(version) != nullptr) {
      lastKnown_ = version;
      return;
    }
    std::string where(owner);
    for (std::string_view piece : {member, part}) {
      if (!piece.empty()) where.append(".").append(piece);
    }
    registry.AddProblem(where + " names the unknown version " + (version ? version : "(null)"));
  }

  void Table(const PropertyInfo* table, std::string_view owner, std::string_view method = {}) {
    for (int i = 0; table != nullptr && table[i].type != nullptr; ++i)
      (*this)(table[i].version, owner, method, table[i].name);
  }

 private:
  const char* lastKnown_ = nullptr;
};
}  // namespace

void TypeInfoLoader::CheckVersions(const Type& type) {
  VersionCheck check;
  check(type.GetVersionName().c_str(), type.GetName());
  if (auto* data = dynamic_cast<const DataObjectType*>(&type)) {
    check.Table(data->GetDataTypeInfo()->properties, type.GetName());
  } else if (auto* managed = dynamic_cast<const ManagedObjectType*>(&type)) {
    const ManagedTypeInfo* info = managed->GetManagedTypeInfo();
    check.Table(info->properties, type.GetName());
    for (int k = 0; k < managed->GetMethodCount(); ++k) {
      const MethodInfo& m = info->methods[k];
      check(m.version, type.GetName(), m.name);
      check(m.result.version, type.GetName(), m.name, "result");
      check.Table(m.params, type.GetName(), m.name);
    }
  }
}

void TypeInfoLoader::SetClassNames(const char* const* classNames) {
  for (size_t i = 0; i < namespace_->types_.size(); ++i) namespace_->types_[i]->className_ = classNames[i];
}

}  // namespace Zamli
