#pragma once
// How the server issues and recognises sessions: a client that proved a
// principal once gets a cookie that proves it afterwards.
#include <optional>
#include <string>
#include <string_view>

namespace Zamli::Http {

struct Session {
  std::string principal;
  std::string renewed;  // a new cookie value to hand back, or empty
};

class SessionStore {
 public:
  virtual ~SessionStore() = default;
  // A new session of `principal`; answers the cookie's value.
  virtual std::string Open(const std::string& principal) = 0;
  // The session a cookie's value proves (keeping it alive), or nothing.
  virtual std::optional<Session> Resolve(std::string_view cookie) = 0;
};

}  // namespace Zamli::Http
