#include <haldun/exception.h>
#include <openssl/rand.h>
#include <zamli/transport/http/sessions.h>

namespace Zamli::Http {

std::string SessionTable::Open(const std::string& principal) {
  unsigned char bytes[24];
  if (RAND_bytes(bytes, sizeof bytes) != 1) throw Haldun::InvalidStateException("no random bytes for a session id");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id += kHex[b >> 4];
    id += kHex[b & 15];
  }
  auto now = std::chrono::steady_clock::now();
  std::lock_guard lock(mutex_);
  // Expired sessions go when new ones come, so the table stays as large as the live ones.
  std::erase_if(sessions_, [&](const auto& entry) { return now - entry.second.lastUse > idleExpiry_; });
  sessions_[id] = Entry{principal, now};
  return id;
}

std::optional<Session> SessionTable::Resolve(std::string_view id) {
  auto now = std::chrono::steady_clock::now();
  std::lock_guard lock(mutex_);
  auto found = sessions_.find(std::string(id));
  if (found == sessions_.end()) return std::nullopt;
  if (now - found->second.lastUse > idleExpiry_) {
    sessions_.erase(found);
    return std::nullopt;
  }
  found->second.lastUse = now;
  return Session{found->second.principal, {}};
}

}  // namespace Zamli::Http
