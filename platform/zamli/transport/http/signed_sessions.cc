// Token: "v1.<payload>.<signature>", both parts base64url without padding;
// the payload is "<last use, seconds since the epoch>:<principal>", the
// signature HMAC-SHA-256 of "v1.<payload>" under the key.
#include <haldun/exception.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <zamli/transport/http/protocol.h>
#include <zamli/transport/http/signed_sessions.h>

#include <charconv>

namespace Zamli::Http {

namespace {

constexpr std::string_view kVersion = "v1.";

std::string Base64Url(std::string_view bytes) {
  std::string text = Protocol::Base64Encode(bytes);
  while (!text.empty() && text.back() == '=') text.pop_back();
  for (char& c : text) c = c == '+' ? '-' : c == '/' ? '_' : c;
  return text;
}

std::optional<std::string> FromBase64Url(std::string_view text) {
  std::string standard(text);
  for (char& c : standard) {
    if (c == '+' || c == '/') return std::nullopt;
    c = c == '-' ? '+' : c == '_' ? '/' : c;
  }
  return Protocol::Base64Decode(standard);
}

}  // namespace

SignedSessions::SignedSessions(std::string key, std::chrono::seconds idleExpiry)
    : key_(std::move(key)), idleExpiry_(idleExpiry) {
  if (key_.size() < kMinKeyBytes) {
    throw Haldun::InvalidArgumentException("a session key needs at least " + std::to_string(kMinKeyBytes) +
                                           " bytes, this one has " + std::to_string(key_.size()));
  }
}

SignedSessions::~SignedSessions() { OPENSSL_cleanse(key_.data(), key_.size()); }

std::string SignedSessions::Signature(std::string_view signedPart) const {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
           reinterpret_cast<const unsigned char*>(signedPart.data()), signedPart.size(), digest, &length) == nullptr) {
    throw Haldun::InvalidStateException("cannot sign a session token");
  }
  return Base64Url(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::string SignedSessions::Issue(const std::string& principal, Clock::time_point lastUse) const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(lastUse.time_since_epoch()).count();
  std::string token = std::string(kVersion) + Base64Url(std::to_string(seconds) + ":" + principal);
  return token + "." + Signature(token);
}

std::optional<Session> SignedSessions::Resolve(std::string_view token, Clock::time_point now) const {
  const size_t dot = token.rfind('.');
  if (!token.starts_with(kVersion) || dot < kVersion.size()) return std::nullopt;
  const std::string expected = Signature(token.substr(0, dot));
  const std::string_view given = token.substr(dot + 1);
  if (given.size() != expected.size() || CRYPTO_memcmp(given.data(), expected.data(), given.size()) != 0) {
    return std::nullopt;
  }
  // Signed by this key: what follows was written by an instance sharing it.
  const std::optional<std::string> payload = FromBase64Url(token.substr(kVersion.size(), dot - kVersion.size()));
  const size_t colon = payload ? payload->find(':') : std::string::npos;
  if (colon == std::string::npos || colon + 1 == payload->size()) return std::nullopt;
  long long seconds = 0;
  if (std::from_chars(payload->data(), payload->data() + colon, seconds).ptr != payload->data() + colon) {
    return std::nullopt;
  }
  const auto age =
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()) - std::chrono::seconds(seconds);
  // A last use far ahead of this clock is as untrustworthy as an old one.
  if (age > idleExpiry_ || age < -idleExpiry_) return std::nullopt;
  Session session{payload->substr(colon + 1), {}};
  if (age * 2 >= idleExpiry_) session.renewed = Issue(session.principal, now);
  return session;
}

}  // namespace Zamli::Http
