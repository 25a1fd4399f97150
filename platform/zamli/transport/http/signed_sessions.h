#pragma once
// Sessions that need no table: the cookie is a token carrying the principal
// and the time of its last use, signed with a key every instance of a server
// shares, so any of them honours what another issued (README.md, "Sessions").
#include <zamli/transport/http/export.h>
#include <zamli/transport/http/session_store.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace Zamli::Http {

class ZAMLI_HTTP_EXPORT SignedSessions final : public SessionStore {
 public:
  using Clock = std::chrono::system_clock;
  static constexpr size_t kMinKeyBytes = 32;

  // A key shorter than kMinKeyBytes raises Haldun::InvalidArgumentException.
  SignedSessions(std::string key, std::chrono::seconds idleExpiry);
  ~SignedSessions() override;
  SignedSessions(const SignedSessions&) = delete;
  SignedSessions& operator=(const SignedSessions&) = delete;

  std::string Open(const std::string& principal) override { return Issue(principal, Clock::now()); }
  std::optional<Session> Resolve(std::string_view token) override { return Resolve(token, Clock::now()); }

  // The same at a given time. A token is honoured until its idle expiry has
  // passed since `lastUse`, and renewed once it is past half of it; a
  // tampered token, or one signed with another key, is none.
  std::string Issue(const std::string& principal, Clock::time_point lastUse) const;
  std::optional<Session> Resolve(std::string_view token, Clock::time_point now) const;

 private:
  std::string Signature(std::string_view signedPart) const;

  std::string key_;
  std::chrono::seconds idleExpiry_;
};

}  // namespace Zamli::Http
