#include <haldun/exception.h>
#include <zamli/security/entry_file.h>
#include <zamli/security/faults.h>
#include <zamli/security/role_authorizer.h>
#include <zamli/types/type.h>
#include <zamli/values/data_array.h>
#include <zamli/values/mo_ref.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace Zamli::Security {

namespace {

// Privileges that every caller holds, the anonymous one included. What
// "dynamic" requires is decided by the implementation at call time, which
// the records do not describe: the authorizer lets such calls through and
// leaves the check to the implementation.
bool NeedsNothing(std::string_view privilege) {
  return privilege.empty() || privilege == "System.Anonymous" || privilege == "dynamic";
}

// The references a parameter's value names: itself, or every reference of
// an array; nothing for null.
std::vector<const MoRef*> NamedObjects(const Any* value) {
  std::vector<const MoRef*> out;
  if (auto* ref = dynamic_cast<const MoRef*>(value)) {
    out.push_back(ref);
  } else if (auto* array = dynamic_cast<const DataArrayBase*>(value)) {
    for (const Haldun::Ref<Any>& element : array->GetElements()) {
      if (auto* item = dynamic_cast<const MoRef*>(element.Get())) out.push_back(item);
    }
  }
  return out;
}

}  // namespace

RoleAuthorizer RoleAuthorizer::FromFile(const std::string& path) {
  RoleAuthorizer roles;
  ForEachEntry(path, "roles file", [&](const std::vector<std::string>& words, const std::string& where) {
    if (words.size() < 2 || words.size() > 3) {
      throw Haldun::InvalidArgumentException(where + "expected PRINCIPAL PRIVILEGE [OBJECT-ID]");
    }
    roles.Grant(words[0], words[1], words.size() == 3 ? words[2] : std::string());
  });
  return roles;
}

void RoleAuthorizer::Grant(const std::string& principal, const std::string& privilege, const std::string& objectId) {
  if (principal.empty() || privilege.empty()) {
    throw Haldun::InvalidArgumentException("a grant needs a principal and a privilege");
  }
  grants_[principal][objectId].insert(privilege);
}

bool RoleAuthorizer::Holds(const std::string& principal, std::string_view privilege,
                           const std::string& objectId) const {
  auto byPrincipal = grants_.find(principal);
  if (byPrincipal == grants_.end()) return false;
  for (const std::string& scope : {std::string(), objectId}) {
    auto held = byPrincipal->second.find(scope);
    if (held == byPrincipal->second.end()) continue;
    if (held->second.contains(privilege) || held->second.contains(kAllPrivileges)) return true;
  }
  return false;
}

// `privileges` may list several ids separated by blanks: all are needed.
void RoleAuthorizer::Require(const std::string& principal, std::string_view privileges, const MoRef& object) const {
  while (!privileges.empty()) {
    size_t blank = privileges.find(' ');
    std::string_view privilege = privileges.substr(0, blank);
    privileges = blank == std::string_view::npos ? std::string_view() : privileges.substr(blank + 1);
    if (NeedsNothing(privilege)) continue;
    if (principal.empty()) RaiseNotAuthenticated();
    if (!Holds(principal, privilege, object.GetId())) RaiseNoPermission(std::string(privilege), object);
  }
}

void RoleAuthorizer::Authorize(const std::string& principal, const MoRef& target, const ManagedMethod& method,
                               const std::vector<Haldun::Ref<Any>>& args) {
  if (method.IsPropertyReader()) {
    const char* privilege = method.GetPropertyInfo()->privilege;
    Require(principal, privilege ? privilege : "", target);
    return;
  }
  const MethodInfo* info = method.GetMethodInfo();
  Require(principal, info->privilege ? info->privilege : "", target);
  const PropertyInfo* params = info->params;
  for (size_t i = 0; params != nullptr && params[i].name != nullptr && i < args.size(); ++i) {
    const char* privilege = params[i].privilege;
    if (privilege == nullptr || NeedsNothing(privilege)) continue;
    if (params[i].type != nullptr && params[i].type->kind != kManagedKind) {
      // A value that names no object (a description of the work) is held
      // to the privilege on the target the work is done on.
      if (args[i]) Require(principal, privilege, target);
      continue;
    }
    for (const MoRef* object : NamedObjects(args[i].Get())) Require(principal, privilege, *object);
  }
}

}  // namespace Zamli::Security
