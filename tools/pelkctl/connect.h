#pragma once
// Where `pelkctl call` and `pelkctl get` send their calls: a server over
// HTTP(S), or a simulated cluster in this process ("sim:" or "sim:SEED").
// Credentials come from options or the environment and are never printed.
#include <zamli/calls/stub.h>
#include <zamli/types/version.h>
#include <zamli/wire/codec.h>

#include <memory>
#include <string>

namespace Pelkctl {

struct ConnectLine {
  std::string url;  // default: $PELK_URL
  std::string version;
  bool negotiate = false;  // the newest version both ends know
  bool xml = false;
  std::string user;        // default: $PELK_USER; the password from $PELK_PASSWORD
  std::string caFile;      // trust these certificates instead of the system's
  std::string thumbprint;  // or exactly this server certificate (SHA-256)
};

class Connection {
 public:
  explicit Connection(ConnectLine line);
  ~Connection();
  const Zamli::Version& GetVersion() const { return *version_; }
  Zamli::StubAdapter& GetAdapter() { return *adapter_; }

 private:
  struct Simulated;
  std::unique_ptr<Simulated> simulated_;
  std::unique_ptr<Zamli::Wire::Codec> codec_;
  std::unique_ptr<Zamli::StubAdapter> adapter_;
  const Zamli::Version* version_ = nullptr;
};

}  // namespace Pelkctl
