#include <zamli/calls/server_call_scope.h>

#include <utility>

namespace Zamli {
namespace {
thread_local const ServerCallInfo* tCurrent = nullptr;
}

ServerCallScope::ServerCallScope(ServerCallInfo info) : info_(std::move(info)), previous_(tCurrent) {
  tCurrent = &info_;
}

ServerCallScope::~ServerCallScope() { tCurrent = previous_; }

const ServerCallInfo* ServerCallScope::Current() { return tCurrent; }

}  // namespace Zamli
