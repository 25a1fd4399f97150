// What users reach for first: printing values to a stream, naming managed
// objects and making stubs by interface class, the not-implemented fault
// naming the member, and enumeration tags at compile time and by lookup.
#include <gtest/gtest.h>
#include <pelk/fwd.h>
#include <pelk/qor/cluster/PelkIscsiLUNCommonInfo.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <pelk/qor/pelk/RemoteZovInfoStandalone.h>
#include <qor/kettar/fault/NotImplemented.h>
#include <qor/qor/ClusterComputeResource.h>
#include <qor/qor/HostSystem.h>
#include <thrown.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/calls/make_stub.h>
#include <zamli/values/enum_value.h>
#include <zamli/values/printer.h>

#include <functional>
#include <sstream>
#include <string_view>

namespace {

template <class T>
std::string Streamed(const T& value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

TEST(Conveniences, StreamingWritesTheTextForm) {
  Haldun::Ref<Qor::Pelk::RemoteZovInfoStandalone> info(new Qor::Pelk::RemoteZovInfoStandalone());
  info->zovHost = "zov-1";
  Haldun::Ref<Zamli::Primitive<Dp::Ruv::MigrationType>> box(
      new Zamli::Primitive<Dp::Ruv::MigrationType>(Zamli::EnumFromTag<Dp::Ruv::MigrationType>("coldMigration")));
  Haldun::Ref<Zamli::MoRef> ref = Qor::HostSystem::RefTo("host-12");
  const std::string text = Streamed(*info);
  EXPECT_EQ(text, info->ToString());
  EXPECT_EQ(Streamed(info), text);
  EXPECT_EQ(Streamed(box), box->ToString());
  EXPECT_NE(Streamed(box).find("coldMigration"), std::string::npos);
  EXPECT_EQ(Streamed(ref), ref->ToString());
  EXPECT_EQ(Streamed(Haldun::Ref<Zamli::Any>()), "<unset>");
}

TEST(Conveniences, ReferencesCarryTheirInterfacesName) {
  struct Case {
    Haldun::Ref<Zamli::MoRef> ref;
    const char* type;
    const char* id;
  };
  const Case cases[] = {
      {Qor::HostSystem::RefTo("host-12"), "qor.HostSystem", "host-12"},
      {Qor::ClusterComputeResource::RefTo("domain-c7"), "qor.ClusterComputeResource", "domain-c7"},
      {Qor::Cluster::PelkZovClusterHealthSystem::RefTo(""), "qor.cluster.PelkZovClusterHealthSystem", ""},
      {Zamli::MakeRef<Qor::HostSystem>("host-1"), "qor.HostSystem", "host-1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.ref->GetTypeName(), c.type);
    EXPECT_EQ(c.ref->GetId(), c.id);
  }
}

struct Health : Qor::Cluster::PelkZovClusterHealthSystemServer {
  using PelkZovClusterHealthSystemServer::PelkZovClusterHealthSystemServer;
  bool UploadHclDb(const std::string& db) override { return db == "db"; }
};

TEST(Conveniences, StubsByInterfaceAndTheMemberNotImplemented) {
  Zamli::LocalAdapter adapter;
  adapter.Register(new Health("health-1"));
  Haldun::Ref<Qor::Cluster::PelkZovClusterHealthSystem> health =
      Zamli::MakeStub<Qor::Cluster::PelkZovClusterHealthSystem>(adapter, "health-1");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->_GetRef()->GetTypeName(), "qor.cluster.PelkZovClusterHealthSystem");
  EXPECT_EQ(health->_GetRef()->GetId(), "health-1");
  EXPECT_TRUE(health->UploadHclDb("db"));

  struct Case {
    std::function<void()> call;
    const char* message;
  };
  const std::string type = "qor.cluster.PelkZovClusterHealthSystem.";
  const Case cases[] = {
      {[&] { health->PurgeHclFiles(nullptr); }, "purgeHclFiles"},
      {[&] {
         Haldun::Ref<Zamli::Array<std::string>> checks;
         health->GetPelkClusterSilentChecks(nullptr, checks);
       },
       "getPelkClusterSilentChecks"},
  };
  for (const Case& c : cases) {
    if (auto e = PelkTest::Thrown<Zamli::Fault::NotImplemented::Exception>(c.call, c.message)) {
      const Zamli::DataArray<Zamli::LocalizableMessage>* messages = e->GetFault()->faultMessage.Get();
      ASSERT_TRUE(messages != nullptr && messages->GetLength() == 1) << c.message;
      EXPECT_EQ(messages->Get(0)->message.GetValue(), type + c.message + " is not implemented by this server");
    }
  }
  // No object under the id: the stub is made, the call fails.
  auto missing = Zamli::MakeStub<Qor::Cluster::PelkZovClusterHealthSystem>(adapter, "health-2");
  EXPECT_THROW(missing->UploadHclDb("db"), Haldun::Exception);
}

// Usable where only constants are: tags at namespace scope and nested in a class.
static_assert(std::string_view(Dp::Ruv::MIGRATIONTYPE_COLDMIGRATION) == "coldMigration");
static_assert(std::string_view(Qor::Cluster::PelkIscsiLUNCommonInfo::PELKISCSILUNSTATUS_ONLINE) == "Online");

TEST(Conveniences, EnumerationTagsAndTheirLookup) {
  using Status = Qor::Cluster::PelkIscsiLUNCommonInfo::PelkIscsiLUNStatus;
  constexpr std::string_view online = Qor::Cluster::PelkIscsiLUNCommonInfo::PELKISCSILUNSTATUS_ONLINE;
  EXPECT_EQ(Zamli::TagOf(Zamli::EnumFromTag<Status>(online)), online);
  EXPECT_EQ(Zamli::TagOf(Zamli::EnumFromTag<Dp::Ruv::MigrationType>(Dp::Ruv::MIGRATIONTYPE_COLDMIGRATION)),
            "coldMigration");
  const auto e =
      PelkTest::Thrown<Haldun::NotFoundException>([] { Zamli::EnumFromTag<Status>(std::string_view("online")); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(),
               "\"online\" is not a tag of enumeration qor.cluster.PelkIscsiLUNCommonInfo.PelkIscsiLUNStatus");
}

}  // namespace
