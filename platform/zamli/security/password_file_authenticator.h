#pragma once
// Principals proved by a password or a token listed in a users file, so that
// a server has an Authenticator without a directory service. Only SHA-256
// digests of the secrets are stored; one line per secret, blank-separated:
//   USER password SHA256-HEX
//   USER token    SHA256-HEX
// (the digest of the secret's bytes, e.g. `printf %s SECRET | sha256sum`);
// a user may have several; `#` starts a comment line. Basic credentials
// prove USER with one of its passwords; a bearer token proves its USER.
#include <zamli/security/access.h>

#include <map>
#include <string>
#include <vector>

namespace Zamli::Security {

class ZAMLI_EXPORT PasswordFileAuthenticator : public Authenticator {
 public:
  // A line that is not an entry, or a file that cannot be read, is
  // Haldun::InvalidArgumentException naming the file and line.
  static PasswordFileAuthenticator FromFile(const std::string& path);

  // Lowercase hex SHA-256 of `secret`, as the file stores it.
  static std::string Digest(const std::string& secret);

  void AddPassword(const std::string& user, const std::string& digest);
  void AddToken(const std::string& user, const std::string& digest);

  std::optional<std::string> Authenticate(const Credentials& credentials) override;

 private:
  std::map<std::string, std::vector<std::string>> passwords_;  // user -> digests
  std::map<std::string, std::string> tokens_;                  // digest -> user
};

}  // namespace Zamli::Security
