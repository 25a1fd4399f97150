#pragma once
// Serves the objects of a directory over HTTP/1.1, with TLS unless asked
// not to: each call a POST of one request document (README.md). I/O runs on
// a fixed number of threads; calls are dispatched on a separate small pool,
// so a slow implementation holds up no connection but its own.
#include <zamli/calls/object_directory.h>
#include <zamli/security/access.h>
#include <zamli/transport/http/export.h>
#include <zamli/transport/http/hooks.h>
#include <zamli/wire/codec.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Zamli::Http {

struct ListenAddress {
  std::string host = "127.0.0.1";
  unsigned short port = 0;  // 0: any free port (see HttpServer::Ports)
};

struct ServerOptions {
  std::vector<ListenAddress> listen{ListenAddress{}};
  std::string path = "/pelk";
  // TLS with this certificate (chain) and key, both PEM files, unless
  // plainHttp is set.
  std::string certificateFile;
  std::string keyFile;
  // The TLS 1.3 cipher suites accepted, this server's preference first
  // whatever the client's order, in OpenSSL's syntax; empty: AES-128-GCM,
  // AES-256-GCM, then ChaCha20-Poly1305.
  std::string cipherSuites;
  bool plainHttp = false;
  // The namespace served and its versions; empty: every version it has.
  std::string interfaceNamespace = "pelk";
  std::vector<std::string> versions;
  Wire::Limits limits;  // maxDocumentBytes bounds a request body too
  int ioThreads = 2;
  int dispatchThreads = 4;
  size_t maxConnections = 1024;
  size_t maxHeaderBytes = 16 * 1024;
  std::chrono::milliseconds headerReadTimeout{10'000};  // from a request's first byte to its last header
  std::chrono::milliseconds bodyReadTimeout{60'000};    // for the body, and for writing the answer
  std::chrono::milliseconds idleTimeout{60'000};        // a kept-alive connection waiting for a request
  std::chrono::milliseconds drainTimeout{30'000};       // how long Stop waits for calls in flight
  // When set, every call must prove a principal (Basic, Bearer, or the
  // session cookie it is given afterwards).
  Security::Authenticator* authenticator = nullptr;
  std::chrono::seconds sessionIdleExpiry{30 * 60};
  // A secret every instance of the service shares (at least
  // SignedSessions::kMinKeyBytes bytes): sessions are then signed tokens any
  // instance honours. Empty: a table only this server knows.
  std::string sessionKey;
  CallHooks hooks;
};

class ZAMLI_HTTP_EXPORT HttpServer {
 public:
  // Listens at once; a certificate or key that cannot be read, or an address
  // that cannot be bound, raises Haldun::InvalidArgumentException.
  HttpServer(ObjectDirectory& objects, ServerOptions options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The ports listened on, in the order of the listen addresses.
  std::vector<unsigned short> Ports() const;
  // Stops accepting, lets the calls in flight finish and answer (up to the
  // drain timeout), then closes every connection. Idempotent.
  void Stop();

  struct ZAMLI_HTTP_LOCAL Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace Zamli::Http
