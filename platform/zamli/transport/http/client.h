#pragma once
// The client half of calls over HTTP/1.1 and TLS: a StubAdapter that posts
// each call's request document to an endpoint and decodes the answer.
// Connections are kept alive and pooled; all I/O runs on the adapter's own
// few threads, and asynchronous calls complete there.
#include <haldun/scheduled_item.h>
#include <zamli/calls/stub.h>
#include <zamli/security/access.h>
#include <zamli/transport/http/errors.h>
#include <zamli/transport/http/export.h>
#include <zamli/transport/http/hooks.h>
#include <zamli/wire/codec.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Http {

struct ClientOptions {
  // "https://host:port/path"; without a scheme https is meant, and plain
  // "http://" only when written so.
  std::string endpoint;
  Wire::Encoding encoding = Wire::Encoding::kXml;
  std::string version;  // a version of the namespace, e.g. "pelk.version.version25"
  // TLS: trust the certificates of this PEM file (empty: the system's), or,
  // when a thumbprint is given, the server certificate whose SHA-256 it is
  // (hex, colons allowed) and no other.
  std::string caFile;
  std::string thumbprint;
  // The TLS 1.3 cipher suites offered, most preferred first, in OpenSSL's
  // syntax; empty: AES-128-GCM, AES-256-GCM, then ChaCha20-Poly1305.
  std::string cipherSuites;
  Security::Credentials credentials;
  int ioThreads = 2;
  std::chrono::milliseconds connectTimeout{10'000};
  std::chrono::milliseconds callTimeout{120'000};  // per call, connecting included; 0: none
  size_t maxIdleConnections = 64;
  Wire::Limits limits;
  CallHooks hooks;
};

// The pending call StartInvoke hands back.
class ZAMLI_HTTP_EXPORT PendingCall : public Haldun::System::ScheduledItem {
 public:
  ~PendingCall() override;
  // Ends the call with CancelledException unless it has completed; true
  // when it was still pending. The callback runs either way, once.
  bool Cancel();
  // Waits until the callback has returned or `timeout` passed; true when done.
  bool WaitFor(std::chrono::milliseconds timeout) const;

  struct ZAMLI_HTTP_LOCAL State;  // shared with the adapter's I/O

 private:
  friend class HttpAdapter;
  std::shared_ptr<State> state_;
};

class ZAMLI_HTTP_EXPORT HttpAdapter : public StubAdapter {
 public:
  // A malformed endpoint, an unknown version or a CA file that cannot be
  // read raise Haldun::InvalidArgumentException.
  explicit HttpAdapter(ClientOptions options);
  // Calls still pending end with CancelledException.
  ~HttpAdapter() override;
  HttpAdapter(const HttpAdapter&) = delete;
  HttpAdapter& operator=(const HttpAdapter&) = delete;

  // A fault the server answers is raised as its own class; a call that could
  // not be carried raises TransportException (TimeoutException,
  // UntrustedServerException, ...).
  void Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args, Haldun::Ref<Any>& result,
              RequestContext* context) override;
  // `item` is a PendingCall; the callback runs on one of the adapter's threads.
  void StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                   RequestContext* context, const CompletionCallback& callback,
                   Haldun::Ref<Haldun::System::ScheduledItem>& item) override;

  // The versions the server serves (GET <path>/versions).
  std::vector<std::string> ServedVersions();
  const Wire::Codec& GetCodec() const;

  struct ZAMLI_HTTP_LOCAL Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The newest version of `interfaceNamespace` that is both served and known
// here; Haldun::NotFoundException when there is none.
ZAMLI_HTTP_EXPORT std::string NewestCommonVersion(const std::vector<std::string>& served,
                                                  std::string_view interfaceNamespace = "pelk");

}  // namespace Zamli::Http
