#pragma once
// The server's table of sessions: a random id per authenticated client,
// forgotten after an idle time. Only this process knows its ids.
#include <zamli/transport/http/session_store.h>

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Zamli::Http {

class SessionTable final : public SessionStore {
 public:
  explicit SessionTable(std::chrono::seconds idleExpiry) : idleExpiry_(idleExpiry) {}
  std::string Open(const std::string& principal) override;
  std::optional<Session> Resolve(std::string_view id) override;

 private:
  struct Entry {
    std::string principal;
    std::chrono::steady_clock::time_point lastUse;
  };
  std::chrono::seconds idleExpiry_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> sessions_;
};

}  // namespace Zamli::Http
