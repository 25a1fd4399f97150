#pragma once
// What pelkctl's exit status means, the same for every subcommand.
#include <stdexcept>

namespace Pelkctl {

enum ExitCode : int {
  kSuccess = 0,
  kFaultAnswered = 1,   // the server (or the call) answered with a fault
  kUsageError = 2,      // unknown subcommand, option, type or method
  kTransportError = 3,  // no answer: connection, TLS, timeout
  kBadDocument = 4,     // an input document that does not decode
};

// A usage error: a name that names nothing, or options that do not fit.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace Pelkctl
