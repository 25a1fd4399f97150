#pragma once
// The server's table of sessions: a random id per authenticated client,
// forgotten after an idle time.
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace Zamli::Http {

class SessionTable {
 public:
  explicit SessionTable(std::chrono::seconds idleExpiry) : idleExpiry_(idleExpiry) {}
  // A new session of `principal`; answers its id.
  std::string Open(const std::string& principal);
  // The principal of a live session (which it keeps alive), or nothing.
  std::optional<std::string> Find(const std::string& id);

 private:
  struct Session {
    std::string principal;
    std::chrono::steady_clock::time_point lastUse;
  };
  std::chrono::seconds idleExpiry_;
  std::mutex mutex_;
  std::unordered_map<std::string, Session> sessions_;
};

}  // namespace Zamli::Http
