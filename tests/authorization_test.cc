// Who may call what: privileges granted in a roles file, checked by a
// directory in front of the served objects, refusals travelling the wire as
// their own fault classes; and principals proved from a users file.
#include <gtest/gtest.h>
#include <haldun/exception.h>
#include <pelktest/pelktest/Item.h>
#include <pelktest/pelktest/LockerServer.h>
#include <pelktest/pelktest/LockerStub.h>
#include <qor/kettar/fault/NoPermission.h>
#include <qor/kettar/fault/NotAuthenticated.h>
#include <thrown.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/security/authorizing_directory.h>
#include <zamli/security/password_file_authenticator.h>
#include <zamli/security/role_authorizer.h>
#include <zamli/values/data_array.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/loopback.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>

namespace {

using Haldun::Ref;
using Zamli::MoRef;
using Zamli::Security::Credentials;
using Zamli::Security::PasswordFileAuthenticator;
using Zamli::Security::RoleAuthorizer;

std::string WriteFile(const std::string& name, const std::string& text) {
  std::string path = testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

class Locker : public Pelktest::LockerServer {
 public:
  Locker(const std::string& id, std::atomic<int>& served) : LockerServer(id), served_(served) {}
  std::string GetLabel() override { return ++served_, "label"; }
  void Open() override { ++served_; }
  void Move(MoRef*, Zamli::DataArray<MoRef>*) override { ++served_; }
  void Plan(Pelktest::Item*) override { ++served_; }
  std::string Look() override { return ++served_, "looked"; }
  void Decide() override { ++served_; }

 private:
  std::atomic<int>& served_;
};

const char* const kRoles = R"(# keeper opens everything, moves home only, into far only
keeper  Locker.Open
keeper  Locker.Move     home
keeper  Locker.Receive  far
keeper  Locker.Witness  far
keeper  System.Read

admin   *
planner Locker.Plan     home
)";

Ref<MoRef> LockerRef(const std::string& id) { return Ref<MoRef>(new MoRef("pelktest.Locker", id)); }

Ref<Zamli::DataArray<MoRef>> Lockers(std::initializer_list<const char*> ids) {
  Ref<Zamli::DataArray<MoRef>> out(new Zamli::DataArray<MoRef>());
  for (const char* id : ids) out->Append(LockerRef(id));
  return out;
}

struct CallCase {
  const char* what;
  const char* principal;
  const char* target;
  std::function<void(Pelktest::Locker&)> call;
  const char* outcome;  // "ok", "NotAuthenticated" or "NoPermission PRIVILEGE OBJECT-ID"
};

TEST(Authorization, ACallIsServedOnlyWithThePrivilegesItsRecordsName) {
  std::atomic<int> served{0};
  Zamli::LocalAdapter objects(1);
  for (const char* id : {"home", "other", "far"}) objects.Register(new Locker(id, served));
  RoleAuthorizer roles = RoleAuthorizer::FromFile(WriteFile("roles", kRoles));
  Zamli::Security::AuthorizingDirectory guarded(objects, roles);
  const Zamli::Wire::Codec codec(Zamli::Wire::Encoding::kXml, Zamli::Wire::FindVersion("pelktest.version.v2"));
  Zamli::Wire::LoopbackAdapter wire(codec, guarded);

  auto spec = [] { return Ref<Pelktest::Item>(new Pelktest::Item()); };
  const CallCase cases[] = {
      {"granted on every object", "keeper", "home", [](auto& l) { l.Open(); }, "ok"},
      {"not granted", "guest", "home", [](auto& l) { l.Open(); }, "NoPermission Locker.Open home"},
      {"anonymous caller", "", "home", [](auto& l) { l.Open(); }, "NotAuthenticated"},
      {"both privileges, parameters on far", "keeper", "home",
       [](auto& l) { l.Move(LockerRef("far").Get(), Lockers({"far"}).Get()); }, "ok"},
      {"second privilege granted on another object", "keeper", "other",
       [](auto& l) { l.Move(LockerRef("far").Get(), nullptr); }, "NoPermission Locker.Move other"},
      {"parameter names an object not granted", "keeper", "home",
       [](auto& l) { l.Move(LockerRef("other").Get(), nullptr); }, "NoPermission Locker.Receive other"},
      {"one reference of an array not granted", "keeper", "home",
       [](auto& l) {
         l.Move(LockerRef("far").Get(), Lockers({"far", "other"}).Get());
       },
       "NoPermission Locker.Witness other"},
      {"a null optional names nothing", "keeper", "home", [](auto& l) { l.Move(LockerRef("far").Get(), nullptr); },
       "ok"},
      {"value parameter held on the target", "planner", "home", [&](auto& l) { l.Plan(spec().Get()); }, "ok"},
      {"value parameter on another target", "planner", "other", [&](auto& l) { l.Plan(spec().Get()); },
       "NoPermission Locker.Plan other"},
      {"star grants everything", "admin", "other",
       [](auto& l) { l.Move(LockerRef("other").Get(), Lockers({"home"}).Get()); }, "ok"},
      {"anonymous method", "", "home", [](auto& l) { l.Look(); }, "ok"},
      {"decided by the implementation", "", "home", [](auto& l) { l.Decide(); }, "ok"},
  };
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.what);
    Pelktest::LockerStub stub(LockerRef(c.target).Get(), &wire, nullptr);
    const int before = served;
    std::string outcome = "ok";
    try {
      // The loopback serves on this thread: the scope stands for the transport's.
      Zamli::ServerCallScope scope({nullptr, c.principal});
      c.call(stub);
    } catch (const Zamli::Fault::NoPermission::Exception& e) {
      outcome = "NoPermission " + e.GetFault()->privilegeId + " " +
                (e.GetFault()->object ? e.GetFault()->object->GetId() : "(none)");
    } catch (const Zamli::Fault::NotAuthenticated::Exception&) {
      outcome = "NotAuthenticated";
    }

    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(served - before, outcome == "ok" ? 1 : 0) << "a refused call must not reach the object";
  }
}

// Properties travel through the collector, which reads them through the
// directory it is given: the directory checks the reader's privilege.
TEST(Authorization, ReadingAPropertyNeedsItsPrivilege) {
  std::atomic<int> served{0};
  Zamli::LocalAdapter objects(1);
  objects.Register(new Locker("home", served));
  RoleAuthorizer roles = RoleAuthorizer::FromFile(WriteFile("roles", kRoles));
  Zamli::Security::AuthorizingDirectory guarded(objects, roles);
  const Zamli::ManagedMethod& label = *Zamli::GetMoType<Pelktest::Locker>()->FindPropertyReader("label");
  std::vector<Ref<Zamli::Any>> none;
  {
    Zamli::ServerCallScope scope({nullptr, "keeper"});
    EXPECT_TRUE(guarded.Dispatch(*LockerRef("home"), label, none));
  }
  Zamli::ServerCallScope scope({nullptr, "guest"});
  EXPECT_THROW(guarded.Dispatch(*LockerRef("home"), label, none), Zamli::Fault::NoPermission::Exception);
  EXPECT_EQ(served, 1);
}

TEST(Authorization, PrincipalsAreProvedByTheDigestsOfTheUsersFile) {
  const std::string users = "# alice logs in, the robot uses a token\nalice password " +
                            PasswordFileAuthenticator::Digest("secret") + "\nrobot token " +
                            PasswordFileAuthenticator::Digest("t0ken") + "\n";
  PasswordFileAuthenticator authenticator = PasswordFileAuthenticator::FromFile(WriteFile("users", users));
  using S = Credentials::Scheme;
  const struct {
    Credentials credentials;
    const char* principal;  // "" for none
  } cases[] = {
      {{S::kBasic, "alice", "secret"}, "alice"}, {{S::kBasic, "alice", "wrong"}, ""},
      {{S::kBasic, "robot", "t0ken"}, ""},       {{S::kBearer, "", "t0ken"}, "robot"},
      {{S::kBearer, "", "secret"}, ""},          {{S::kNone, "alice", "secret"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.credentials.user + "/" + c.credentials.secret);
    EXPECT_EQ(authenticator.Authenticate(c.credentials).value_or(""), c.principal);
  }
}

TEST(Authorization, ABadLineNamesItsFileAndLine) {
  const std::string digest = PasswordFileAuthenticator::Digest("x");
  const struct {
    const char* what;
    std::function<void(const std::string&)> read;
    std::string text;
  } cases[] = {
      {"a grant without a privilege", RoleAuthorizer::FromFile, "# roles\n\nalice\n"},
      {"a grant with two objects", RoleAuthorizer::FromFile, "alice Locker.Open\n\nalice Locker.Open a b\n"},
      {"an entry of no kind", PasswordFileAuthenticator::FromFile, "#\n\nalice pin " + digest + "\n"},
      {"a secret in clear", PasswordFileAuthenticator::FromFile, "#\n\nalice password x\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = WriteFile("bad", c.text);
    if (auto e = PelkTest::Thrown<Haldun::InvalidArgumentException>([&] { c.read(path); })) {
      EXPECT_NE(std::string(e->what()).find(path + ":3: "), std::string::npos) << e->what();
    }
  }
  EXPECT_THROW(RoleAuthorizer::FromFile(testing::TempDir() + "no-such-file"), Haldun::InvalidArgumentException);
}

}  // namespace
