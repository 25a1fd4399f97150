#pragma once
// Privileges granted to principals, checked against what the records say a
// call needs: the method's privilege (a property reader's, for a property)
// on the target, and each parameter's privilege on the objects it names.
//
// The roles file has one grant per line, blank-separated:
//   PRINCIPAL PRIVILEGE [OBJECT-ID]
// without an object id the grant holds on every object; the privilege `*`
// grants every privilege; `#` starts a comment line.
#include <zamli/security/access.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace Zamli::Security {

class ZAMLI_EXPORT RoleAuthorizer : public Authorizer {
 public:
  static constexpr const char* kAllPrivileges = "*";

  // Reads a roles file; a line that is not a grant, or a file that cannot
  // be read, is Haldun::InvalidArgumentException naming the file and line.
  static RoleAuthorizer FromFile(const std::string& path);

  // An empty object id grants the privilege on every object. Grant before
  // serving: checks read the grants without a lock.
  void Grant(const std::string& principal, const std::string& privilege, const std::string& objectId = {});

  // Whether `principal` holds `privilege` on the object `objectId`.
  bool Holds(const std::string& principal, std::string_view privilege, const std::string& objectId) const;

  // A privilege needed by an anonymous caller is kettar.fault.NotAuthenticated;
  // one not held is kettar.fault.NoPermission.
  void Authorize(const std::string& principal, const MoRef& target, const ManagedMethod& method,
                 const std::vector<Haldun::Ref<Any>>& args) override;

 private:
  void Require(const std::string& principal, std::string_view privileges, const MoRef& object) const;

  // principal -> object id ("" for every object) -> privileges.
  std::map<std::string, std::map<std::string, std::set<std::string, std::less<>>>> grants_;
};

}  // namespace Zamli::Security
