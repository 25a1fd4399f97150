#include "serve.h"

#include <simulator.h>
#include <zamli/security/authorizing_directory.h>
#include <zamli/security/password_file_authenticator.h>
#include <zamli/security/role_authorizer.h>
#include <zamli/transport/http/server.h>
#include <zamli/transport/http/signed_sessions.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

#include "exit_code.h"
#include "self_signed.h"

namespace Pelkctl {
namespace {

Zamli::Http::ListenAddress Address(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) throw UsageError("--listen " + text + " is not HOST:PORT");
  Zamli::Http::ListenAddress address;
  address.host = text.substr(0, colon);
  if (address.host.size() > 1 && address.host.front() == '[')
    address.host = address.host.substr(1, address.host.size() - 2);
  try {
    const int port = std::stoi(text.substr(colon + 1));
    if (port < 0 || port > 65535) throw std::out_of_range("port");
    address.port = static_cast<unsigned short>(port);
  } catch (const std::exception&) {
    throw UsageError("--listen " + text + ": not a port number");
  }
  return address;
}

// The bytes of the session key file; never printed.
std::string SessionKey(std::string file) {
  if (file.empty()) {
    const char* variable = std::getenv("PELK_SESSION_KEY_FILE");
    if (variable == nullptr || *variable == '\0') return {};
    file = variable;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw UsageError("cannot read the session key file " + file);
  std::string key((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (key.size() < Zamli::Http::SignedSessions::kMinKeyBytes) {
    throw UsageError("the session key file " + file + " holds " + std::to_string(key.size()) +
                     " bytes; a key needs at least " + std::to_string(Zamli::Http::SignedSessions::kMinKeyBytes));
  }
  return key;
}

// Waits for SIGINT or SIGTERM on this thread, the others having them blocked.
int WaitForStopSignal() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  int received = 0;
  sigwait(&signals, &received);
  return received;
}

}  // namespace

int RunServe(const ServeLine& line) {
  // Blocked before any thread starts, so every thread inherits the mask and
  // the signals wait for sigwait.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  Pelksim::SimulatorOptions simulated;
  simulated.seed = line.seed;
  simulated.latency = std::chrono::milliseconds(line.latencyMs);
  simulated.taskDuration = std::chrono::seconds(line.taskSeconds);
  if (!line.scriptFile.empty()) simulated.script = Pelksim::Script::FromFile(line.scriptFile);
  simulated.log = [](const std::string& entry) { std::cerr << entry << std::endl; };
  Pelksim::Simulator simulator(std::move(simulated));

  Zamli::Http::ServerOptions options;
  options.listen.clear();
  for (const std::string& address : line.listen) options.listen.push_back(Address(address));
  if (options.listen.empty()) options.listen.push_back(Address("127.0.0.1:0"));
  options.plainHttp = line.plainHttp;
  if (!line.plainHttp) {
    if (line.certificateFile.empty() != line.keyFile.empty()) throw UsageError("--cert and --key go together");
    if (line.certificateFile.empty()) {
      const SelfSigned made = MakeSelfSigned();
      options.certificateFile = made.certificateFile;
      options.keyFile = made.keyFile;
      std::cout << "certificate: throw-away, self-signed; SHA-256 thumbprint " << made.thumbprint << std::endl;
    } else {
      options.certificateFile = line.certificateFile;
      options.keyFile = line.keyFile;
    }
  }
  std::optional<Zamli::Security::PasswordFileAuthenticator> users;
  if (!line.usersFile.empty()) {
    users = Zamli::Security::PasswordFileAuthenticator::FromFile(line.usersFile);
    options.authenticator = &*users;
  }
  options.sessionKey = SessionKey(line.sessionKeyFile);
  std::optional<Zamli::Security::RoleAuthorizer> roles;
  std::optional<Zamli::Security::AuthorizingDirectory> authorizing;
  Zamli::ObjectDirectory* served = &simulator;
  if (!line.rolesFile.empty()) {
    roles = Zamli::Security::RoleAuthorizer::FromFile(line.rolesFile);
    authorizing.emplace(simulator, *roles);
    served = &*authorizing;
  }

  Zamli::Http::HttpServer server(*served, options);
  const std::vector<unsigned short> ports = server.Ports();
  for (size_t i = 0; i < ports.size(); ++i) {
    std::cout << "listening on " << (line.plainHttp ? "http" : "https") << "://" << options.listen[i].host << ":"
              << ports[i] << options.path << std::endl;
  }
  const int signal = WaitForStopSignal();
  std::cout << "stopping on signal " << signal << std::endl;
  server.Stop();
  return ExitCode::kSuccess;
}

}  // namespace Pelkctl
