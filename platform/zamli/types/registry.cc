#include <zamli/types/registry.h>
#include <zamli/types/runtime_records.h>

#include <algorithm>
#include <mutex>

namespace Zamli {

TypeRegistry& TypeRegistry::Instance() {
  // Built on first use, so that type libraries loaded before anything else
  // in the runtime ran still find it; never destroyed, since type objects
  // outlive every static destructor that might still reach them.
  static TypeRegistry* registry = [] {
    auto* r = new TypeRegistry();
    r->RegisterRuntimeTypes();
    return r;
  }();
  return *registry;
}

TypeRegistry::TypeRegistry() = default;

void TypeRegistry::RegisterRuntimeTypes() {
  Namespace* kettar = AddNamespace(RuntimeTypes::kNamespace);
  auto own = [&](Type* t, const char* className) {
    t->className_ = className;
    t->namespace_ = kettar;
    kettar->types_.push_back(t);
  };
  for (int i = 0; i < RuntimeTypes::kPrimitiveCount; ++i) {
    auto* t = new PrimitiveType(RuntimeTypes::kPrimitives[i], RuntimeTypes::kPrimitiveClasses[i]);
    AddType(t);
    own(t, RuntimeTypes::kPrimitiveClasses[i]);
  }
  // Built directly: the factories go through Instance(), which is not ready yet.
  auto* dynamicData = new DataObjectType(&RuntimeTypes::kDynamicData, nullptr);
  auto* methodFault = new DataObjectType(&RuntimeTypes::kMethodFault, dynamicData, RuntimeTypes::kMethodFaultFields);
  auto* keyAnyValue = new DataObjectType(&RuntimeTypes::kKeyAnyValue, dynamicData, RuntimeTypes::kKeyAnyValueFields);
  auto* message =
      new DataObjectType(&RuntimeTypes::kLocalizableMessage, dynamicData, RuntimeTypes::kLocalizableMessageFields);
  auto* managedObject = new ManagedObjectType(&RuntimeTypes::kManagedObject);
  const std::pair<Type*, const char*> types[] = {{dynamicData, "Zamli::DynamicData"},
                                                 {methodFault, "Zamli::MethodFault"},
                                                 {keyAnyValue, "Zamli::KeyAnyValue"},
                                                 {message, "Zamli::LocalizableMessage"},
                                                 {managedObject, "Zamli::ManagedObject"}};
  for (auto [type, className] : types) {
    AddType(type);
    own(type, className);
  }
  for (DataObjectType* type : {dynamicData, methodFault, keyAnyValue, message}) type->ResolvePropertyTypes(*this);
}

void TypeRegistry::AddType(Type* type) {
  std::unique_lock lock(mutex_);
  if (!byName_.emplace(type->GetName(), type).second) {
    problems_.push_back("type " + type->GetName() + " is registered twice");
    return;
  }
  if (!byWsdlName_.emplace(type->GetWsdlName(), type).second) {
    problems_.push_back("wire name " + type->GetWsdlName() + " of " + type->GetName() + " is already taken by " +
                        byWsdlName_[type->GetWsdlName()]->GetName());
  }
  if (type->GetTypeInfo() != nullptr) byInfo_.emplace(type->GetTypeInfo(), type);
  types_.push_back(type);
}

void TypeRegistry::AddProblem(std::string problem) {
  std::unique_lock lock(mutex_);
  problems_.push_back(std::move(problem));
}

Namespace* TypeRegistry::AddNamespace(const KettarVersions& record) {
  std::unique_lock lock(mutex_);
  for (const auto& ns : namespaces_) {
    if (ns->GetName() == record.namespaceName) {
      problems_.push_back(std::string("namespace ") + record.namespaceName + " is registered twice");
      return ns.get();
    }
  }
  auto ns = std::make_unique<Namespace>(record.namespaceName);
  ns->id_ = static_cast<int>(namespaces_.size());
  for (int i = 0; i < record.requiredNamespaceCount; ++i) ns->required_.emplace_back(record.requiredNamespaces[i]);
  for (int i = 0; i < record.versionCount; ++i) {
    const VersionInfo& info = record.versions[i];
    auto version = std::make_unique<Version>(info.name, info.label, ns.get());
    if (!versionsByName_.emplace(version->GetName(), version.get()).second) {
      problems_.push_back("version " + version->GetName() + " is registered twice");
      continue;
    }
    ns->versions_.push_back(version.get());
    versions_.push_back(std::move(version));
  }
  for (int i = 0; i < record.parentCount; ++i) {
    auto child = versionsByName_.find(record.parents[i].version);
    auto parent = versionsByName_.find(record.parents[i].parent);
    if (child == versionsByName_.end() || parent == versionsByName_.end()) {
      problems_.push_back(std::string("namespace ") + record.namespaceName + ": unknown version in parent pair " +
                          record.parents[i].version + " -> " + record.parents[i].parent);
      continue;
    }
    child->second->parents_.push_back(parent->second);
  }
  CloseVersions(*ns);
  // The namespace's version variables: official and internal slots hold the
  // versions in table order; the release slot holds the newest.
  for (int i = 0; i < record.versionSlotCount && i < static_cast<int>(ns->versions_.size()); ++i) {
    Version* v = const_cast<Version*>(ns->versions_[static_cast<size_t>(i)]);
    if (record.officialVersions != nullptr) record.officialVersions[i] = v;
    if (record.internalVersions != nullptr) record.internalVersions[i] = v;
  }
  if (record.rcVersion != nullptr && !ns->versions_.empty()) *record.rcVersion = const_cast<Version*>(ns->versions_[0]);
  if (record.namespaceId != nullptr) *record.namespaceId = ns->id_;
  namespaces_.push_back(std::move(ns));
  return namespaces_.back().get();
}

void TypeRegistry::CloseVersions(Namespace& ns) {
  // Parents are older than their children, and of this namespace or of one
  // registered before it, so oldest-first closes every version in one pass.
  for (auto it = ns.versions_.rbegin(); it != ns.versions_.rend(); ++it) {
    auto* v = const_cast<Version*>(*it);
    std::vector<const Version*> closure{v};
    for (const Version* p : v->parents_) {
      closure.push_back(p);
      closure.insert(closure.end(), p->included_.begin(), p->included_.end());
    }
    std::sort(closure.begin(), closure.end());
    closure.erase(std::unique(closure.begin(), closure.end()), closure.end());
    v->included_ = std::move(closure);
  }
}

Type* TypeRegistry::FindByName(std::string_view name) const {
  std::shared_lock lock(mutex_);
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

Type* TypeRegistry::FindByWsdlName(std::string_view wsdlName) const {
  std::shared_lock lock(mutex_);
  auto it = byWsdlName_.find(wsdlName);
  return it == byWsdlName_.end() ? nullptr : it->second;
}

Type* TypeRegistry::FindByTypeInfo(const TypeInfo* info) const {
  std::shared_lock lock(mutex_);
  auto it = byInfo_.find(info);
  return it == byInfo_.end() ? nullptr : it->second;
}

std::vector<Type*> TypeRegistry::GetAllTypes() const {
  std::shared_lock lock(mutex_);
  return types_;
}

const Namespace* TypeRegistry::FindNamespace(std::string_view name) const {
  std::shared_lock lock(mutex_);
  for (const auto& ns : namespaces_) {
    if (ns->GetName() == name) return ns.get();
  }
  return nullptr;
}

std::vector<const Namespace*> TypeRegistry::GetNamespaces() const {
  std::shared_lock lock(mutex_);
  std::vector<const Namespace*> out;
  for (const auto& ns : namespaces_) out.push_back(ns.get());
  return out;
}

const Version* TypeRegistry::FindVersion(std::string_view name) const {
  std::shared_lock lock(mutex_);
  auto it = versionsByName_.find(name);
  return it == versionsByName_.end() ? nullptr : it->second;
}

std::vector<const Version*> TypeRegistry::GetAllVersions() const {
  std::shared_lock lock(mutex_);
  std::vector<const Version*> out;
  for (const auto& v : versions_) out.push_back(v.get());
  return out;
}

bool TypeRegistry::Includes(std::string_view version, std::string_view included) const {
  const Version* a = FindVersion(version);
  const Version* b = FindVersion(included);
  return a != nullptr && b != nullptr && a->Includes(*b);
}

std::vector<std::string> TypeRegistry::GetLoadProblems() const {
  std::shared_lock lock(mutex_);
  return problems_;
}

}  // namespace Zamli
