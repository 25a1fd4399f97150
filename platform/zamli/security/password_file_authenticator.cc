#include <haldun/exception.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <zamli/security/entry_file.h>
#include <zamli/security/password_file_authenticator.h>

#include <fstream>
#include <sstream>

namespace Zamli::Security {

namespace {

bool IsDigest(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Compares in time independent of where the digests differ.
bool SameDigest(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::string PasswordFileAuthenticator::Digest(const std::string& secret) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(secret.data(), secret.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    throw Haldun::InvalidStateException("SHA-256 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

PasswordFileAuthenticator PasswordFileAuthenticator::FromFile(const std::string& path) {
  PasswordFileAuthenticator users;
  ForEachEntry(path, "users file", [&](const std::vector<std::string>& words, const std::string& where) {
    if (words.size() != 3 || (words[1] != "password" && words[1] != "token")) {
      throw Haldun::InvalidArgumentException(where + "expected USER password|token SHA256-HEX");
    }
    if (!IsDigest(words[2])) {
      throw Haldun::InvalidArgumentException(where + "the secret must be 64 lowercase hex digits of SHA-256");
    }
    if (words[1] == "password") {
      users.AddPassword(words[0], words[2]);
    } else {
      users.AddToken(words[0], words[2]);
    }
  });
  return users;
}

void PasswordFileAuthenticator::AddPassword(const std::string& user, const std::string& digest) {
  if (user.empty() || !IsDigest(digest)) throw Haldun::InvalidArgumentException("a password needs a user and a digest");
  passwords_[user].push_back(digest);
}

void PasswordFileAuthenticator::AddToken(const std::string& user, const std::string& digest) {
  if (user.empty() || !IsDigest(digest)) throw Haldun::InvalidArgumentException("a token needs a user and a digest");
  tokens_[digest] = user;
}

std::optional<std::string> PasswordFileAuthenticator::Authenticate(const Credentials& credentials) {
  if (credentials.scheme == Credentials::Scheme::kBasic) {
    auto user = passwords_.find(credentials.user);
    if (user == passwords_.end()) return std::nullopt;
    const std::string digest = Digest(credentials.secret);
    bool match = false;
    for (const std::string& stored : user->second) match |= SameDigest(stored, digest);
    if (match) return credentials.user;
  } else if (credentials.scheme == Credentials::Scheme::kBearer) {
    // Keyed by digest: looking it up reveals nothing about the token itself.
    auto token = tokens_.find(Digest(credentials.secret));
    if (token != tokens_.end()) return token->second;
  }
  return std::nullopt;
}

}  // namespace Zamli::Security
