// Calls over HTTP on 127.0.0.1: every member of every managed type in both
// encodings, versions, authentication, the request context, hooks, typed
// asynchronous calls and many client threads at once.
#include <gtest/gtest.h>
#include <health_calls.h>
#include <http_support.h>
#include <pelk/all.h>
#include <qor/all.h>
#include <wire_support.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/security/role_authorizer.h>
#include <zamli/transport/http/async.h>
#include <zamli/transport/http/signed_sessions.h>

#include <atomic>
#include <functional>
#include <mutex>

namespace {

using Haldun::Ref;
using HttpTest::Served;
using PelkTest::HealthStub;
using Health = Qor::Cluster::PelkZovClusterHealthSystem;
using Zamli::Http::ClientOptions;
using Zamli::Http::HttpAdapter;
using Zamli::Wire::Encoding;

class HttpCalls : public ::testing::TestWithParam<Encoding> {};

TEST_P(HttpCalls, EveryMemberOfEveryManagedType) {
  Served served;
  HttpAdapter http(served.Client(GetParam()));
#define ZAMLI_TEST_MEMBER(I, Operation, Index)                                                     \
  PelkTest::ServeAndCheckMember<I>(served.objects, http, &I::Operation, Index, #I "::" #Operation, \
                                   &WireTest::FilledShallow, true);
#include <pelk/type_list.inc>
}

TEST_P(HttpCalls, FaultsErrorsAndCallsFromSixteenThreads) {
  Served served;
  HttpAdapter http(served.Client(GetParam()));
  Ref<HealthStub> stub = served.Health(http);
  PelkTest::CheckHealthCalls(*stub);
  PelkTest::CheckCallsFromThreads(*stub, 16, 8);
}

TEST_P(HttpCalls, TypedAsynchronousCalls) {
  Served served;
  HttpAdapter http(served.Client(GetParam()));
  Ref<HealthStub> stub = served.Health(http);
  std::future<bool> ok = Zamli::Http::Async(*stub, &Health::UploadHclDb, std::string("ok"));
  std::future<bool> fault = Zamli::Http::Async(*stub, &Health::UploadHclDb, std::string("fault"));
  Ref<Zamli::MoRef> cluster(new Zamli::MoRef("qor.ClusterComputeResource", "c-1"));
  auto status = Zamli::Http::Async(*stub, &Health::GetClusterStatus, cluster.Get(), std::string("x"));
  auto disks = Zamli::Http::Async(*stub, &Health::QueryPhysicalDiskHealthSummary, cluster.Get());
  EXPECT_TRUE(ok.get());
  EXPECT_THROW(fault.get(), Dp::Ruv::Fault::WexdServiceDown::Exception);
  EXPECT_EQ(status.get(), "qor.ClusterComputeResource:c-1/x");
  auto array = disks.get();
  ASSERT_NE(array, nullptr) << "no array comes back as an empty one";
  EXPECT_EQ(array->GetLength(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, HttpCalls, WireTest::BothEncodings(), WireTest::EncodingName);

TEST(HttpVersions, OlderClientsUnknownVersionsAndNegotiation) {
  Served served;
  Ref<Zamli::MoRef> cluster(new Zamli::MoRef("qor.ClusterComputeResource", "c-1"));
  {
    HttpAdapter old(served.Client(Encoding::kJson, WireTest::PelkVersion(3)));
    Ref<HealthStub> stub = served.Health(old);
    EXPECT_TRUE(stub->UploadHclDb("ok")) << "an older client against the newest server";
    Ref<Qor::Cluster::PelkClusterDatastoreUsageResult> usage;
    WireTest::Raised<Zamli::Fault::NotSupported>([&] { stub->CheckDatastoreUsage(cluster.Get(), usage); },
                                                 "a method newer than the client's version");
    EXPECT_EQ(Zamli::Http::NewestCommonVersion(old.ServedVersions()), WireTest::PelkVersion(25));
  }
  Served onlyOld(Zamli::Http::ServerOptions{}, {WireTest::PelkVersion(3), WireTest::PelkVersion(8)});
  for (Encoding encoding : {Encoding::kXml, Encoding::kJson}) {
    HttpAdapter newer(onlyOld.Client(encoding));
    Ref<Zamli::Fault::NotSupported> refused =
        WireTest::Raised<Zamli::Fault::NotSupported>([&] { onlyOld.Health(newer)->UploadHclDb("ok"); });
    ASSERT_NE(refused, nullptr);
    EXPECT_NE(Zamli::Wire::Describe(*refused).find(WireTest::PelkVersion(8)), std::string::npos)
        << "the fault lists the versions served: " << Zamli::Wire::Describe(*refused);
    EXPECT_EQ(Zamli::Http::NewestCommonVersion(newer.ServedVersions()), WireTest::PelkVersion(8));
  }
  EXPECT_THROW(Zamli::Http::NewestCommonVersion({"other.version.1"}), Haldun::NotFoundException);
}

// Authenticates "user"/"secret" and the token "token"; counts its calls.
class Passwords : public Zamli::Security::Authenticator {
 public:
  std::optional<std::string> Authenticate(const Zamli::Security::Credentials& c) override {
    ++calls;
    using Scheme = Zamli::Security::Credentials::Scheme;
    if (c.scheme == Scheme::kBasic && c.user == "user" && c.secret == "secret") return "user";
    if (c.scheme == Scheme::kBearer && c.secret == "token") return "token-holder";
    return std::nullopt;
  }
  std::atomic<int> calls{0};
};

// Servers whose options authenticate with Passwords.
struct HttpAuthentication : ::testing::Test {
  HttpAuthentication() { options.authenticator = &passwords; }
  Passwords passwords;
  Zamli::Http::ServerOptions options;
};

TEST_F(HttpAuthentication, CredentialsSessionsAndTheRequestContext) {
  std::mutex seenMutex;
  std::vector<std::string> seen;  // principal and method, from the server's hooks
  options.hooks.after = [&](const Zamli::Http::CallEvent& e, int status, std::chrono::microseconds) {
    std::lock_guard lock(seenMutex);
    seen.push_back(e.principal + " " + e.method + " " + std::to_string(status));
  };
  Served served(options);
  using Scheme = Zamli::Security::Credentials::Scheme;
  struct Case {
    const char* name;
    Zamli::Security::Credentials credentials;
    const char* principal;  // null: refused
  };
  for (const Case& c : std::vector<Case>{{"none", {}, nullptr},
                                         {"wrong password", {Scheme::kBasic, "user", "guess"}, nullptr},
                                         {"wrong token", {Scheme::kBearer, "", "guess"}, nullptr},
                                         {"basic", {Scheme::kBasic, "user", "secret"}, "user"},
                                         {"bearer", {Scheme::kBearer, "", "token"}, "token-holder"}}) {
    ClientOptions client = served.Client(Encoding::kXml);
    client.credentials = c.credentials;
    HttpAdapter http(client);
    Ref<HealthStub> stub = served.Health(http);
    if (c.principal == nullptr) {
      WireTest::Raised<Zamli::Fault::NotAuthenticated>([&] { stub->UploadHclDb("ok"); }, c.name);
      continue;
    }
    int before = passwords.calls;
    Ref<Zamli::RequestContext> context(new Zamli::RequestContext());
    context->Set("operation id", "op; 7=\xc3\xa4");
    stub->_SetRequestContext(context.Get());
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(stub->GetClusterStatus(nullptr, std::string("context")), std::string(c.principal) + "|op; 7=\xc3\xa4")
          << c.name;
    }
    EXPECT_EQ(passwords.calls - before, 1) << c.name << ": the session cookie is used after the first call";
  }
  std::lock_guard lock(seenMutex);
  EXPECT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen.front(), "user getClusterStatus 200");
}

// A raw call of the context member with these headers; answers all the server sent.
std::string RawCall(const Served& served, const std::string& headers) {
  const std::string body = R"({"_method":"PelkHealthGetClusterStatus","_this":{"_typeName":"ManagedObjectReference",)"
                           R"("type":"PelkZovClusterHealthSystem","value":"health-1"},"feature":"context"})";
  HttpTest::RawSocket s(served.Port());
  s.Send("POST /pelk HTTP/1.1\r\nContent-Type: application/json\r\nX-Pelk-Version: " + WireTest::PelkVersion(25) +
         "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  return s.ReceiveAll();
}

std::string SessionCookieOf(const std::string& answer) {
  const size_t start = answer.find("pelk_session=");
  return start == std::string::npos ? "" : answer.substr(start + 13, answer.find(';', start) - start - 13);
}

TEST_F(HttpAuthentication, SignedSessionsServeEveryInstanceSharingTheKey) {
  options.sessionKey = std::string(Zamli::Http::SignedSessions::kMinKeyBytes, 'k');
  Served first(options), second(options);
  Zamli::Http::SignedSessions tokens(options.sessionKey, options.sessionIdleExpiry);
  options.sessionKey.back() = 'x';
  Served foreign(options);
  const std::string issued = SessionCookieOf(RawCall(first, "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"));
  ASSERT_TRUE(issued.starts_with("v1.")) << "the first call, with credentials, opens a session";
  const auto now = std::chrono::system_clock::now();
  std::string tampered = tokens.Issue("user", now);
  tampered[5] = tampered[5] == 'A' ? 'B' : 'A';
  struct Case {
    const char* name;
    const Served& server;
    std::string token;
    bool honoured, renewed;
  };
  for (const Case& c : std::vector<Case>{
           {"issued by another instance", second, issued, true, false},
           {"past half its idle life", second, tokens.Issue("user", now - std::chrono::minutes(20)), true, true},
           {"expired", second, tokens.Issue("user", now - std::chrono::minutes(31)), false, false},
           {"tampered", second, tampered, false, false},
           {"signed with another key", foreign, issued, false, false},
           {"another format", second, "v2" + issued.substr(2), false, false},
       }) {
    const std::string answer = RawCall(c.server, "Cookie: pelk_session=" + c.token + "\r\n");
    EXPECT_EQ(answer.find("\"user|no context\"") != std::string::npos, c.honoured) << c.name << ": " << answer;
    EXPECT_EQ(answer.find("NotAuthenticated") != std::string::npos, !c.honoured) << c.name;
    EXPECT_EQ(SessionCookieOf(answer).starts_with("v1."), c.renewed) << c.name;
  }
  EXPECT_EQ(passwords.calls, 1) << "only the first call proved itself with credentials";
}

// Which privileges a call needs is authorization_test's; here each refusal
// travels as its own fault, naming the privilege and the object: the method's
// own on the target, and a parameter's on the object that parameter names.
TEST_F(HttpAuthentication, PrivilegesOfTheRecordsAreCheckedBeforeDispatch) {
  Zamli::Security::RoleAuthorizer roles;
  roles.Grant("user", "System.Read", "health-1");
  Served served(options, {}, &roles);
  ClientOptions client = served.Client(Encoding::kJson);
  client.credentials = {Zamli::Security::Credentials::Scheme::kBasic, "user", "secret"};
  HttpAdapter http(client);
  Ref<HealthStub> stub = served.Health(http);
  Ref<Zamli::MoRef> cluster(new Zamli::MoRef("qor.ClusterComputeResource", "domain-c8")), task;
  const struct {
    std::function<void()> call;
    const char *privilege, *object;
  } cases[] = {{[&] { stub->UploadHclDb("ok"); }, "Global.Settings", "health-1"},
               {[&] { stub->QueryClusterHealthSummaryTask(cluster.Get(), nullptr, {}, {}, task); }, "System.Read",
                "domain-c8"}};
  for (const auto& c : cases) {
    auto refused = WireTest::Raised<Zamli::Fault::NoPermission>(c.call, c.object);
    ASSERT_NE(refused, nullptr) << c.object;
    EXPECT_EQ(refused->privilegeId, c.privilege);
    ASSERT_NE(refused->object, nullptr);
    EXPECT_EQ(refused->object->GetId(), c.object);
  }
  EXPECT_EQ(stub->GetClusterStatus(nullptr, std::string("context")), "user|no context");  // needs no privilege
}

}  // namespace
