// Remote service interfaces in one process: every member of every managed
// type called through its typed stub, carried by the in-process adapter,
// dispatched to a server object and answered; plus the refusals and faults.
#include <filled.h>
#include <gtest/gtest.h>
#include <health_calls.h>
#include <member_calls.h>
#include <pelk/all.h>
#include <qor/all.h>
#include <thrown.h>
#include <zamli/calls/call.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>

namespace {

using Haldun::Ref;
using Zamli::Any;
using Zamli::Call::Args;

TEST(Managed, EveryMemberOfEveryTypeRoundTrips) {
  Zamli::LocalAdapter adapter(1);
#define ZAMLI_TEST_MEMBER(I, Operation, Index)                                                 \
  PelkTest::ServeAndCheckMember<I>(adapter, adapter, &I::Operation, Index, #I "::" #Operation, \
                                   &PelkTest::FilledShallow);
#include <pelk/type_list.inc>
}

using PelkTest::HealthServer;

struct HealthFixture : ::testing::Test {
  Zamli::LocalAdapter adapter{2};
  Ref<HealthServer> server{new HealthServer("health-1")};
  Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> stub;
  void SetUp() override {
    adapter.Register(server.Get());
    stub = PelkTest::HealthStubOn(adapter);
  }
};

TEST_F(HealthFixture, AnswersFaultsAndUnimplementedMembers) {
  PelkTest::CheckHealthCalls(*stub);
  EXPECT_STREQ(Qor::Pelk::Migration::PelkMigrationSystem::METHOD_CANCELMIGRATIONTASK,
               "qor.pelk.migration.PelkMigrationSystem.cancelMigrationTask");
}

TEST_F(HealthFixture, SynchronousAndAsynchronousCallsFromManyThreads) {
  PelkTest::CheckCallsFromThreads(*stub, 4, 25);
  EXPECT_EQ(server->uploads.load(), 4 * 25 + 2 * 25);
}

// Hands back a fixed result for every call, whatever the member.
class FixedAdapter : public Zamli::StubAdapter {
 public:
  explicit FixedAdapter(Ref<Any> answer) : answer_(std::move(answer)) {}
  void Invoke(Zamli::MoRef*, Zamli::ManagedMethod*, Args& args, Ref<Any>& result, Zamli::RequestContext*) override {
    lastArgs = args;
    result = answer_;
  }
  void StartInvoke(Zamli::MoRef*, Zamli::ManagedMethod*, const Args&, Zamli::RequestContext*,
                   const Zamli::CompletionCallback&, Ref<Haldun::System::ScheduledItem>&) override {}
  Args lastArgs;

 private:
  Ref<Any> answer_;
};

TEST(Stubs, BoxingOfArgumentsAndResultsOfTheWrongClass) {
  FixedAdapter adapter(Ref<Any>(new Zamli::MoRef("qor.HostSystem", "h")));
  Qor::Cluster::PelkZovClusterHealthSystemStub stub(new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "x"),
                                                    &adapter, nullptr);
  Ref<Qor::Cluster::PelkClusterFileServiceHealthSummary> previous(
      new Qor::Cluster::PelkClusterFileServiceHealthSummary());
  Ref<Qor::Cluster::PelkClusterFileServiceHealthSummary> out = previous;
  const auto e = PelkTest::Thrown<Haldun::TypeMismatchException>(
      [&] { stub.QueryFileServiceHealthSummary(nullptr, Haldun::Optional<bool>(), false, out); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->GetExpected(), "Qor::Cluster::PelkClusterFileServiceHealthSummary");
  EXPECT_EQ(e->GetActual(), "Zamli::MoRef");
  EXPECT_EQ(out, previous) << "the out-parameter keeps its value";
  ASSERT_EQ(adapter.lastArgs.size(), 3u);
  EXPECT_EQ(adapter.lastArgs[0], nullptr);
  EXPECT_EQ(adapter.lastArgs[1], nullptr) << "an unset optional is a null element";
  EXPECT_EQ(adapter.lastArgs[2].Get(), Zamli::Primitive<bool>::Factory::sFalse) << "false is the shared box";
  EXPECT_THROW(stub.UploadHclDb("x"), Haldun::TypeMismatchException);
}

TEST(Dispatch, RefusesWhatItCannotServe) {
  Ref<HealthServer> server(new HealthServer("health-2"));
  const Zamli::ManagedTypeInfo* info =
      Zamli::GetMoType<Qor::Cluster::PelkZovClusterHealthSystem>()->GetManagedTypeInfo();
  const int upload =
      Zamli::GetMoType<Qor::Cluster::PelkZovClusterHealthSystem>()->FindMethod("uploadHclDb")->GetMemberIndex();
  Ref<Any> result = Zamli::Box(1);
  Args args{Zamli::Box(std::string("ok"))};
  info->dispatch(server.Get(), upload, args, result);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result.Get(), Zamli::Primitive<bool>::Factory::sTrue);

  Args wrong{Zamli::Box(5)};
  EXPECT_THROW(info->dispatch(server.Get(), upload, wrong, result), Haldun::TypeMismatchException);
  EXPECT_EQ(result, nullptr) << "released before anything else";
  Args missing{Ref<Any>()};
  EXPECT_THROW(info->dispatch(server.Get(), upload, missing, result), Haldun::InvalidArgumentException);
  Args none;
  EXPECT_THROW(info->dispatch(server.Get(), upload, none, result), Haldun::InvalidArgumentException);
  EXPECT_THROW(info->dispatch(server.Get(), 67, args, result), Haldun::OutOfRangeException);
  EXPECT_THROW(info->dispatch(server.Get(), -1, args, result), Haldun::OutOfRangeException);
  EXPECT_THROW(info->dispatch(nullptr, upload, args, result), Haldun::InvalidArgumentException);
  Ref<Qor::Pelk::PelkDebugSystemServer> other(new Qor::Pelk::PelkDebugSystemServer("debug"));
  EXPECT_THROW(info->dispatch(other.Get(), upload, args, result), Haldun::TypeMismatchException);
  EXPECT_EQ(server->uploads.load(), 1) << "the implementation ran once";
}

}  // namespace
