#pragma once
// What the HTTP suites share: a server of the health system on 127.0.0.1,
// clients for it, a test CA and server certificate, and raw sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <health_server.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wire_support.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/calls/server_call_scope.h>
#include <zamli/security/authorizing_directory.h>
#include <zamli/transport/http/client.h>
#include <zamli/transport/http/server.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>

namespace HttpTest {

// The health server, plus a member that waits until released ("slow"), one
// that answers what the call's scope holds ("context"), and a result XML
// cannot carry ("unencodable").
class HealthServer : public PelkTest::HealthServer {
 public:
  using PelkTest::HealthServer::HealthServer;
  bool UploadHclDb(const std::string& db) override {
    if (db == "slow") {
      std::unique_lock lock(mutex_);
      released_.wait_for(lock, std::chrono::seconds(10), [this] { return release_; });
      return true;
    }
    return PelkTest::HealthServer::UploadHclDb(db);
  }
  std::string GetClusterStatus(Zamli::MoRef* cluster, const Haldun::Optional<std::string>& feature) override {
    if (feature.ValueOr("") == "unencodable") return std::string("a\0b", 3);
    if (feature.ValueOr("") != "context") return PelkTest::HealthServer::GetClusterStatus(cluster, feature);
    const Zamli::ServerCallInfo* call = Zamli::ServerCallScope::Current();
    Zamli::RequestContext* context = _GetRequestContext();
    return (call ? call->principal : "no scope") + "|" + (context ? context->Get("operation id") : "no context");
  }
  void Release() {
    std::lock_guard lock(mutex_);
    release_ = true;
    released_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
};

// A CA and a server certificate for 127.0.0.1 it signed, made once per run.
struct Certificates {
  std::string directory, ca, certificate, key, thumbprint;
};

inline const Certificates& TestCertificates() {
  static const Certificates made = [] {
    Certificates c;
    c.directory = (std::filesystem::temp_directory_path() / ("pelk-http-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(c.directory);
    c.ca = c.directory + "/ca.pem";
    c.certificate = c.directory + "/server.pem";
    c.key = c.directory + "/server.key";
    const std::string d = c.directory;
    std::ofstream(d + "/ext.cnf") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    const std::string script =
        "cd " + d +
        " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=test-ca" +
        " && openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost" +
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2" +
        " -extfile ext.cnf && openssl x509 -in server.pem -noout -fingerprint -sha256 > thumbprint";
    if (std::system(("(" + script + ") >/dev/null 2>&1").c_str()) != 0) throw std::runtime_error("openssl failed");
    std::string line;
    std::getline(std::ifstream(d + "/thumbprint"), line);
    c.thumbprint = line.substr(line.find('=') + 1);
    return c;
  }();
  static const struct Cleanup {
    std::string directory;
    ~Cleanup() { std::filesystem::remove_all(directory); }
  } cleanup{made.directory};
  return made;
}

// A server of one HealthServer ("health-1") on an ephemeral port, plain HTTP
// unless the options name a certificate.
struct Served {
  // With an authorizer, every call is checked by it before dispatch.
  explicit Served(Zamli::Http::ServerOptions options = {}, std::vector<std::string> versions = {},
                  Zamli::Security::Authorizer* authorizer = nullptr) {
    health = new HealthServer("health-1");
    objects.Register(health);
    options.versions = std::move(versions);
    options.plainHttp = options.certificateFile.empty();
    tls = !options.plainHttp;
    if (authorizer != nullptr)
      authorizing = std::make_unique<Zamli::Security::AuthorizingDirectory>(objects, *authorizer);
    server = std::make_unique<Zamli::Http::HttpServer>(
        authorizing ? static_cast<Zamli::ObjectDirectory&>(*authorizing) : objects, options);
  }
  ~Served() {
    health->Release();
    server->Stop();
  }

  unsigned short Port() const { return server->Ports().at(0); }
  Zamli::Http::ClientOptions Client(Zamli::Wire::Encoding encoding,
                                    std::string version = WireTest::PelkVersion(25)) const {
    Zamli::Http::ClientOptions client;
    client.endpoint = std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(Port()) + "/pelk";
    client.encoding = encoding;
    client.version = std::move(version);
    if (tls) client.caFile = TestCertificates().ca;
    return client;
  }
  Haldun::Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> Health(Zamli::StubAdapter& adapter) const {
    return PelkTest::HealthStubOn(adapter);
  }

  Zamli::LocalAdapter objects{1};
  std::unique_ptr<Zamli::Security::AuthorizingDirectory> authorizing;
  HealthServer* health;
  bool tls = false;
  std::unique_ptr<Zamli::Http::HttpServer> server;
};

// A blocking socket to 127.0.0.1 whose reads give up after five seconds.
class RawSocket {
 public:
  explicit RawSocket(unsigned short port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    timeval timeout{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawSocket() { ::close(fd_); }
  bool Connected() const { return connected_; }
  bool Send(const std::string& bytes) { return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0; }
  void EndSending() { ::shutdown(fd_, SHUT_WR); }
  void Drop() {  // closes at once, with a reset
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  }
  // Everything until the server closes (or five quiet seconds pass).
  std::string ReceiveAll() {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0;) out.append(buffer, static_cast<size_t>(n));
    return out;
  }

 private:
  int fd_;
  bool connected_ = false;
};

}  // namespace HttpTest
