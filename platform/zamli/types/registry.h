#pragma once
// The process-wide registry of namespaces, versions and types.
#include <zamli/types/type.h>

#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Zamli {

class ZAMLI_EXPORT TypeRegistry {
 public:
  // Created with the runtime's own namespace, primitives and root types.
  static TypeRegistry& Instance();

  Type* FindByName(std::string_view name) const;
  Type* FindByWsdlName(std::string_view wsdlName) const;
  Type* FindByTypeInfo(const TypeInfo* info) const;
  // Every registered type, in registration order (array types excluded).
  std::vector<Type*> GetAllTypes() const;

  const Namespace* FindNamespace(std::string_view name) const;
  std::vector<const Namespace*> GetNamespaces() const;
  const Version* FindVersion(std::string_view name) const;
  // Every version of every namespace, in registration order.
  std::vector<const Version*> GetAllVersions() const;
  // True when both versions are known and `version` includes `included`.
  bool Includes(std::string_view version, std::string_view included) const;

  // What registration found inconsistent (a type with an unknown version, a
  // name registered twice, an unknown parent version). Empty when all is well.
  std::vector<std::string> GetLoadProblems() const;

  // Used by the type factories and the loader.
  void AddType(Type* type);
  Namespace* AddNamespace(const KettarVersions& record);
  void AddProblem(std::string problem);

 private:
  TypeRegistry();
  void RegisterRuntimeTypes();
  void CloseVersions(Namespace& ns);

  mutable std::shared_mutex mutex_;
  std::vector<Type*> types_;
  std::unordered_map<std::string_view, Type*> byName_;
  std::unordered_map<std::string_view, Type*> byWsdlName_;
  std::unordered_map<const TypeInfo*, Type*> byInfo_;
  std::vector<std::unique_ptr<Namespace>> namespaces_;
  std::vector<std::unique_ptr<Version>> versions_;
  std::unordered_map<std::string_view, Version*> versionsByName_;
  std::vector<std::string> problems_;
};

}  // namespace Zamli
