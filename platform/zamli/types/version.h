#pragma once
#include <zamli/export.h>

#include <string>
#include <vector>

namespace Zamli {

class Namespace;

// A version of an interface namespace. A version includes itself and,
// transitively, every version it names as a parent.
class ZAMLI_EXPORT Version {
 public:
  Version(std::string name, std::string label, const Namespace* ns);
  Version(const Version&) = delete;
  Version& operator=(const Version&) = delete;

  const std::string& GetName() const { return name_; }
  const std::string& GetLabel() const { return label_; }
  const Namespace* GetNamespace() const { return namespace_; }
  // Direct parents in the order the namespace record lists them.
  const std::vector<const Version*>& GetParents() const { return parents_; }
  bool Includes(const Version& other) const;

 private:
  friend class TypeRegistry;
  std::string name_;
  std::string label_;
  const Namespace* namespace_;
  std::vector<const Version*> parents_;
  std::vector<const Version*> included_;  // sorted closure, filled at registration
};

class Type;

// An interface namespace as registered by its type library.
class ZAMLI_EXPORT Namespace {
 public:
  explicit Namespace(std::string name) : name_(std::move(name)) {}
  Namespace(const Namespace&) = delete;
  Namespace& operator=(const Namespace&) = delete;

  const std::string& GetName() const { return name_; }
  int GetId() const { return id_; }
  // Newest first, as in the namespace record.
  const std::vector<const Version*>& GetVersions() const { return versions_; }
  const std::vector<std::string>& GetRequiredNamespaces() const { return required_; }
  // The library's type list, in slot order.
  const std::vector<Type*>& GetTypes() const { return types_; }

 private:
  friend class TypeRegistry;
  friend class TypeInfoLoader;
  std::string name_;
  int id_ = -1;
  std::vector<const Version*> versions_;
  std::vector<std::string> required_;
  std::vector<Type*> types_;
};

}  // namespace Zamli
