#include "connect.h"

#include <simulator.h>
#include <zamli/transport/http/client.h>
#include <zamli/wire/loopback.h>

#include <cstdlib>

#include "exit_code.h"
#include "transcode.h"

namespace Pelkctl {
namespace {

std::string FromEnvironment(const std::string& given, const char* variable) {
  if (!given.empty()) return given;
  const char* value = std::getenv(variable);
  return value != nullptr ? value : "";
}

}  // namespace

struct Connection::Simulated {
  explicit Simulated(Pelksim::SimulatorOptions options) : simulator(std::move(options)) {}
  Pelksim::Simulator simulator;
};

Connection::Connection(ConnectLine line) {
  line.url = FromEnvironment(line.url, "PELK_URL");
  if (line.url.empty()) throw UsageError("say where to call: --url URL, or PELK_URL");
  version_ = line.version.empty() ? &NewestVersion() : &Zamli::Wire::FindVersion(line.version);
  if (line.url.starts_with("sim:")) {
    Pelksim::SimulatorOptions options;
    try {
      if (line.url.size() > 4) options.seed = std::stoull(line.url.substr(4));
    } catch (const std::exception&) {
      throw UsageError("sim:SEED wants a number: " + line.url);
    }
    simulated_ = std::make_unique<Simulated>(std::move(options));
    codec_ = std::make_unique<Zamli::Wire::Codec>(line.xml ? "xml" : "json", *version_);
    adapter_ = std::make_unique<Zamli::Wire::LoopbackAdapter>(*codec_, simulated_->simulator);
    return;
  }
  Zamli::Http::ClientOptions options;
  options.endpoint = line.url;
  options.encoding = line.xml ? Zamli::Wire::Encoding::kXml : Zamli::Wire::Encoding::kJson;
  options.caFile = line.caFile;
  options.thumbprint = line.thumbprint;
  const std::string user = FromEnvironment(line.user, "PELK_USER");
  const std::string token = FromEnvironment("", "PELK_TOKEN");
  if (!user.empty()) {
    options.credentials = {Zamli::Security::Credentials::Scheme::kBasic, user, FromEnvironment("", "PELK_PASSWORD")};
  } else if (!token.empty()) {
    options.credentials = {Zamli::Security::Credentials::Scheme::kBearer, "", token};
  }
  if (line.negotiate) {
    options.version = version_->GetName();
    Zamli::Http::HttpAdapter probe(options);
    version_ = &Zamli::Wire::FindVersion(Zamli::Http::NewestCommonVersion(probe.ServedVersions()));
  }
  options.version = version_->GetName();
  adapter_ = std::make_unique<Zamli::Http::HttpAdapter>(options);
}

Connection::~Connection() = default;

}  // namespace Pelkctl
