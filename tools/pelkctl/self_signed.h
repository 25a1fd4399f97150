#pragma once
// A throw-away certificate for `pelkctl serve` when none is given: a fresh
// key and a self-signed certificate for the loopback names, written to a
// private temporary folder for the server to read.
#include <string>

namespace Pelkctl {

struct SelfSigned {
  std::string certificateFile;
  std::string keyFile;
  std::string thumbprint;  // SHA-256 of the certificate, hex pairs with colons
};

// Raises std::runtime_error when the key or certificate cannot be made or written.
SelfSigned MakeSelfSigned();

}  // namespace Pelkctl
