// The connections under calls over HTTP: TLS trust and pinning, deadlines,
// cancellation, servers that restart or drop connections, and bad HTTP from
// raw sockets, which never stops the server from serving others.
#include <gtest/gtest.h>
#include <http_support.h>
#include <pelk/all.h>
#include <qor/all.h>
#include <zamli/transport/http/async.h>

#include <thread>

namespace {

using Haldun::Ref;
using HttpTest::RawSocket;
using HttpTest::Served;
using Health = Qor::Cluster::PelkZovClusterHealthSystem;
using Zamli::Http::HttpAdapter;
using Zamli::Wire::Encoding;

Zamli::Http::ServerOptions WithTls() {
  Zamli::Http::ServerOptions options;
  options.certificateFile = HttpTest::TestCertificates().certificate;
  options.keyFile = HttpTest::TestCertificates().key;
  return options;
}

TEST(HttpTls, TrustedCaOrPinnedThumbprintOnly) {
  Served served(WithTls());
  const HttpTest::Certificates& certificates = HttpTest::TestCertificates();
  struct Case {
    const char* name;
    std::string caFile, thumbprint;
    bool trusted;
  };
  std::string wrongPin(64, 'a');
  for (const Case& c : std::vector<Case>{{"the test CA", certificates.ca, "", true},
                                         {"the system store", "", "", false},
                                         {"the right thumbprint", "", certificates.thumbprint, true},
                                         {"a wrong thumbprint", certificates.ca, wrongPin, false}}) {
    Zamli::Http::ClientOptions options = served.Client(Encoding::kJson);
    options.caFile = c.caFile;
    options.thumbprint = c.thumbprint;
    HttpAdapter http(options);
    if (c.trusted) {
      EXPECT_TRUE(served.Health(http)->UploadHclDb("ok")) << c.name;
      EXPECT_TRUE(served.Health(http)->UploadHclDb("ok")) << c.name << ", kept alive";
      EXPECT_FALSE(served.Health(http)->UploadHclDb(std::string(300'000, 'x'))) << c.name << ", a large request";
      std::string large(300'000, 'x');
      large[150'000] = 'y';
      EXPECT_EQ(served.Health(http)->GetClusterStatus(nullptr, large), "none/" + large) << c.name << ", a large answer";
      EXPECT_EQ(served.Health(http)->GetClusterStatus(nullptr, std::string("y")), "none/y") << c.name << ", read into its room";
      large[299'999] = 'z';
      EXPECT_EQ(served.Health(http)->GetClusterStatus(nullptr, large), "none/" + large) << c.name << ", grown again";
      auto onIoThreads = Zamli::Http::Async(*served.Health(http), &Health::GetClusterStatus, nullptr, large);
      EXPECT_EQ(onIoThreads.get(), "none/" + large) << c.name << ", a large answer read by the I/O threads";
    } else {
      EXPECT_THROW(served.Health(http)->UploadHclDb("ok"), Zamli::Http::UntrustedServerException) << c.name;
    }
  }
  // A client speaking plain HTTP to the TLS port gets no answer it can take.
  Zamli::Http::ClientOptions plain = served.Client(Encoding::kXml);
  plain.endpoint.replace(0, 5, "http");
  HttpAdapter http(plain);
  EXPECT_THROW(served.Health(http)->UploadHclDb("ok"), Zamli::Http::TransportException);
}

TEST(HttpTls, BadSettingsAreRefusedUpFront) {
  Zamli::Http::ServerOptions noCertificate;
  Zamli::LocalAdapter objects;
  EXPECT_THROW(Zamli::Http::HttpServer(objects, noCertificate), Haldun::InvalidArgumentException);
  Zamli::Http::ServerOptions unknownSuite = WithTls();
  unknownSuite.cipherSuites = "TLS_NO_SUCH_SUITE";
  EXPECT_THROW(Zamli::Http::HttpServer(objects, unknownSuite), Haldun::InvalidArgumentException);
  struct Case {
    const char* endpoint;
    const char* cipherSuites;
  };
  for (const Case& c : std::vector<Case>{{"ftp://127.0.0.1/pelk", ""},
                                         {"https://:80/pelk", ""},
                                         {"http://host:port/pelk", ""},
                                         {"https://127.0.0.1:1/pelk", "TLS_NO_SUCH_SUITE"}}) {
    Zamli::Http::ClientOptions options;
    options.endpoint = c.endpoint;
    options.cipherSuites = c.cipherSuites;
    options.version = WireTest::PelkVersion(25);
    EXPECT_THROW(HttpAdapter{options}, Haldun::InvalidArgumentException) << c.endpoint << " " << c.cipherSuites;
  }
}

TEST(HttpDeadlines, ASlowCallTimesOutAndIsCancelledWhileOthersAreServed) {
  // Plain and TLS: the second slow call goes over the idle connection, on the calling thread.
  for (const Zamli::Http::ServerOptions& serverOptions : {Zamli::Http::ServerOptions{}, WithTls()}) {
    Served served(serverOptions);
    Zamli::Http::ClientOptions options = served.Client(Encoding::kXml);
    options.callTimeout = std::chrono::milliseconds(300);
    HttpAdapter impatient(options);
    // On a new connection, then on the idle one the call in between left.
    EXPECT_THROW(served.Health(impatient)->UploadHclDb("slow"), Zamli::Http::TimeoutException);
    EXPECT_TRUE(served.Health(impatient)->UploadHclDb("ok"));
    EXPECT_THROW(served.Health(impatient)->UploadHclDb("slow"), Zamli::Http::TimeoutException);

    HttpAdapter http(served.Client(Encoding::kXml));
    Ref<Haldun::System::ScheduledItem> item;
    std::atomic<bool> cancelled{false};
    served.Health(http)->UploadHclDb(
        "slow",
        [&](Haldun::System::ScheduledItem*, Haldun::Exception* error, Zamli::Any*) {
          cancelled = dynamic_cast<Zamli::Http::CancelledException*>(error) != nullptr;
        },
        item);
    auto* pending = dynamic_cast<Zamli::Http::PendingCall*>(item.Get());
    ASSERT_NE(pending, nullptr);
    EXPECT_FALSE(pending->WaitFor(std::chrono::milliseconds(50))) << "the implementation holds it";
    EXPECT_TRUE(served.Health(http)->UploadHclDb("ok")) << "a slow call holds up no other";
    // New connections, one after the other, whichever I/O thread is least
    // busy: none goes where a slow call holds the thread.
    std::vector<std::unique_ptr<HttpAdapter>> others;
    for (int i = 0; i < 3; ++i) {
      Zamli::Http::ClientOptions other = served.Client(Encoding::kJson);
      other.callTimeout = std::chrono::seconds(3);
      others.push_back(std::make_unique<HttpAdapter>(other));
      EXPECT_TRUE(served.Health(*others.back())->UploadHclDb("ok")) << "on a new connection " << i;
    }
    EXPECT_TRUE(pending->Cancel());
    EXPECT_TRUE(pending->WaitFor(std::chrono::seconds(10)));
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(pending->Cancel()) << "already done";
    served.health->Release();
    EXPECT_TRUE(served.Health(impatient)->UploadHclDb("ok"));
  }
}

TEST(HttpDeadlines, ASlowCallHoldsUpNoOtherConnectionOfItsThread) {
  // Three connections over the two I/O threads, so that one thread carries
  // two; a slow call on each in turn, the others called meanwhile.
  for (const Zamli::Http::ServerOptions& serverOptions : {Zamli::Http::ServerOptions{}, WithTls()}) {
    for (size_t slow = 0; slow < 3; ++slow) {
      Served served(serverOptions);
      std::vector<std::unique_ptr<HttpAdapter>> clients;
      for (int i = 0; i < 3; ++i) {
        Zamli::Http::ClientOptions options = served.Client(Encoding::kJson);
        options.callTimeout = std::chrono::seconds(3);
        clients.push_back(std::make_unique<HttpAdapter>(options));
        ASSERT_TRUE(served.Health(*clients.back())->UploadHclDb("ok"));
      }
      Ref<Haldun::System::ScheduledItem> item;
      served.Health(*clients[slow])->UploadHclDb("slow", {}, item);
      for (size_t other = 0; other < clients.size(); ++other) {
        if (other == slow) continue;
        EXPECT_TRUE(served.Health(*clients[other])->UploadHclDb("ok")) << slow << ", " << other;
      }
      served.health->Release();
      EXPECT_TRUE(dynamic_cast<Zamli::Http::PendingCall&>(*item).WaitFor(std::chrono::seconds(10)));
    }
  }
}

TEST(HttpDeadlines, ConnectingToNothingIsAClearError) {
  unsigned short port;
  {
    Served gone;
    port = gone.Port();
  }
  Zamli::Http::ClientOptions options;
  options.endpoint = "http://127.0.0.1:" + std::to_string(port) + "/pelk";
  options.version = WireTest::PelkVersion(25);
  HttpAdapter http(options);
  EXPECT_THROW(PelkTest::HealthStubOn(http)->UploadHclDb("ok"), Zamli::Http::TransportException);
}

TEST(HttpConnections, PooledConnectionsSurviveAServerRestart) {
  Zamli::Http::ServerOptions options;
  options.listen[0].port = 0;
  auto first = std::make_unique<Served>(options);
  const unsigned short port = first->Port();
  HttpAdapter http(first->Client(Encoding::kJson));
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) callers.emplace_back([&] { EXPECT_TRUE(first->Health(http)->UploadHclDb("ok")); });
  for (auto& t : callers) t.join();
  first.reset();  // the pooled connections are closed under the client
  options.listen[0].port = port;
  Served second(options);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(second.Health(http)->UploadHclDb("ok")) << "call " << i;
}

TEST(HttpConnections, AConnectionDroppedMidRequestOrMidResponse) {
  Served served;
  const std::string head = "POST /pelk HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n";
  {
    RawSocket s(served.Port());
    s.Send(head + "Content-Length: 1000\r\n\r\n{\"partial");
    s.Drop();
  }
  {
    // Asked for a slow call and gone before the answer.
    HttpAdapter http(served.Client(Encoding::kXml));
    Ref<Haldun::System::ScheduledItem> item;
    served.Health(http)->UploadHclDb("slow", {}, item);
    dynamic_cast<Zamli::Http::PendingCall&>(*item).Cancel();
    item->Wait();
  }
  served.health->Release();
  HttpAdapter http(served.Client(Encoding::kXml));
  EXPECT_TRUE(served.Health(http)->UploadHclDb("ok")) << "the server still serves";
}

// Raw requests and the status each must get; the server serves on.
TEST(HttpServerStatus, BadHttpGetsItsStatusAndTheServerServesOn) {
  Zamli::Http::ServerOptions options;
  options.limits.maxDocumentBytes = 4096;
  options.headerReadTimeout = std::chrono::milliseconds(500);
  options.bodyReadTimeout = std::chrono::milliseconds(500);
  Served served(options);
  const std::string json = "Content-Type: application/json\r\nX-Pelk-Version: pelk.version.version25\r\n";
  struct Case {
    const char* name;
    std::string request;
    const char* status;  // the status line's start; null: closed without an answer
  };
  for (const Case& c : std::vector<Case>{
           {"garbage", "\x16\x03\x01 hello\r\n\r\n", "HTTP/1.1 400"},
           {"wrong path", "POST /other HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 404"},
           {"wrong method", "PUT /pelk HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 405"},
           {"no length", "POST /pelk HTTP/1.1\r\n" + json + "\r\n", "HTTP/1.1 411"},
           {"chunked", "POST /pelk HTTP/1.1\r\n" + json + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
            "HTTP/1.1 411"},
           {"too large", "POST /pelk HTTP/1.1\r\n" + json + "Content-Length: 99999999\r\n\r\n", "HTTP/1.1 413"},
           {"wrong type", "POST /pelk HTTP/1.1\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nhi",
            "HTTP/1.1 415"},
           {"truncated body", "POST /pelk HTTP/1.1\r\n" + json + "Content-Length: 50\r\n\r\n{\"a\":", "HTTP/1.1 400"},
           {"not a request document", "POST /pelk HTTP/1.1\r\n" + json + "Content-Length: 2\r\n\r\n{}", "HTTP/1.1 500"},
           {"unknown version",
            "POST /pelk HTTP/1.1\r\nContent-Type: application/json\r\nX-Pelk-Version: v0\r\nContent-Length: "
            "2\r\nConnection: close\r\n\r\n{}",
            "HTTP/1.1 500"},
           {"versions", "GET /pelk/versions HTTP/1.1\r\nConnection: close\r\n\r\n", "HTTP/1.1 200"},
       }) {
    RawSocket s(served.Port());
    ASSERT_TRUE(s.Connected());
    s.Send(c.request);
    if (std::string_view(c.name) == "truncated body") s.EndSending();
    std::string answer = s.ReceiveAll();
    EXPECT_EQ(answer.substr(0, 12), std::string(c.status)) << c.name << ": " << answer.substr(0, 200);
  }
  // One byte at a time: cut at the header read timeout while others are served.
  RawSocket slow(served.Port());
  HttpAdapter http(served.Client(Encoding::kJson));
  const std::string request = "POST /pelk HTTP/1.1\r\nHost: x\r\n" + json;
  size_t sent = 0;
  for (; sent < request.size() && slow.Send(request.substr(sent, 1)); ++sent) {
    EXPECT_TRUE(served.Health(http)->UploadHclDb("ok"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_LT(sent, request.size()) << "the trickle was cut before it ended";
  EXPECT_EQ(slow.ReceiveAll(), "");
}

TEST(HttpHooks, TheClientSeesEachCallBeforeAndAfter) {
  Served served;
  Zamli::Http::ClientOptions options = served.Client(Encoding::kXml);
  std::vector<std::string> seen;
  std::mutex seenMutex;
  options.hooks.before = [&](const Zamli::Http::CallEvent& e) {
    std::lock_guard lock(seenMutex);
    seen.push_back("before " + e.method + " " + e.target);
  };
  options.hooks.after = [&](const Zamli::Http::CallEvent& e, int status, std::chrono::microseconds) {
    std::lock_guard lock(seenMutex);
    seen.push_back("after " + e.method + " " + std::to_string(status));
  };
  HttpAdapter http(options);
  EXPECT_TRUE(served.Health(http)->UploadHclDb("ok"));
  EXPECT_THROW(served.Health(http)->UploadHclDb("fault"), Zamli::MethodFault::Exception);
  EXPECT_THROW(served.Health(http)->GetClusterStatus(nullptr, std::string("unencodable")),
               Zamli::Fault::SystemError::Exception);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "before uploadHclDb qor.cluster.PelkZovClusterHealthSystem:health-1", "after uploadHclDb 200",
                      "before uploadHclDb qor.cluster.PelkZovClusterHealthSystem:health-1", "after uploadHclDb 500",
                      "before getClusterStatus qor.cluster.PelkZovClusterHealthSystem:health-1",
                      "after getClusterStatus 500"}));
}

}  // namespace
