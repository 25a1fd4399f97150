#pragma once
// `pelkctl serve`: the simulated cluster over the network transport, until
// SIGINT or SIGTERM.
#include <cstdint>
#include <string>
#include <vector>

namespace Pelkctl {

struct ServeLine {
  std::vector<std::string> listen;  // HOST:PORT, port 0 for any free one
  std::string certificateFile;      // with keyFile; neither: a throw-away self-signed certificate
  std::string keyFile;
  bool plainHttp = false;
  std::string usersFile;  // sessions: who may call (see the transport's README)
  std::string rolesFile;  // what they may do; without it every principal may do everything
  // Sessions as tokens signed with this file's bytes, which every instance
  // sharing the file honours; default $PELK_SESSION_KEY_FILE.
  std::string sessionKeyFile;
  std::uint64_t seed = 1;
  int latencyMs = 0;
  int taskSeconds = 3;  // how long a simulated task runs
  std::string scriptFile;
};

// Prints the ports and (for a throw-away certificate) its thumbprint, serves
// until asked to stop, and answers the exit code.
int RunServe(const ServeLine& line);

}  // namespace Pelkctl
