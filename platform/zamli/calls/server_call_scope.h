#pragma once
// What the server knows about the call it is serving on this thread: the
// pairs that travelled with it and who made it. Whoever dispatches a call
// (a transport's server, the wire loopback) opens a scope around it; the
// implementation reads it through `_GetRequestContext()` and `Current()`.
#include <haldun/ref.h>
#include <zamli/calls/request_context.h>
#include <zamli/export.h>

#include <string>

namespace Zamli {

class Version;

struct ServerCallInfo {
  Haldun::Ref<RequestContext> context;  // null when the call carried none
  std::string principal;                // empty for an anonymous call
  const Version* version = nullptr;     // the version the call was encoded for; null in process
};

class ZAMLI_EXPORT ServerCallScope {
 public:
  explicit ServerCallScope(ServerCallInfo info);
  ~ServerCallScope();
  ServerCallScope(const ServerCallScope&) = delete;
  ServerCallScope& operator=(const ServerCallScope&) = delete;

  // The call this thread serves, or null outside one.
  static const ServerCallInfo* Current();

 private:
  ServerCallInfo info_;
  const ServerCallInfo* previous_;
};

}  // namespace Zamli
