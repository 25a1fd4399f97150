#pragma once
// Hooks around every call, on the client and on the server side, for
// logging, metrics and tracing. They run on the thread carrying the call and
// must not raise.
#include <zamli/values/mo_ref.h>

#include <chrono>
#include <functional>
#include <string>

namespace Zamli::Http {

struct CallEvent {
  std::string method;     // the method's name; empty when the request named none that could be decoded
  std::string target;     // "type:id"
  std::string principal;  // server: who called (empty: anonymous); client: the user it presents
};

struct CallHooks {
  std::function<void(const CallEvent&)> before;
  // `status`: the HTTP status of the answer (200 result, 500 fault), 0 when
  // none came (the client side only).
  std::function<void(const CallEvent&, int status, std::chrono::microseconds duration)> after;
};

}  // namespace Zamli::Http
