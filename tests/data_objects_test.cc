// The data object classes, through what their users have: the generated
// classes, the record functions the runtime calls, and the runtime's
// comparison, difference and printing. Table-driven over every data type.
#include <gtest/gtest.h>
#include <haldun/exception.h>
#include <pelk/qor/cluster/PelkClusterHealthExternalLink.h>
#include <pelk/qor/cluster/PelkClusterTelemetryProxyConfig.h>
#include <pelk/qor/cluster/StorageComplianceResult.h>
#include <pelk/qor/cluster/StorageOperationalStatus.h>
#include <pelk/qor/cluster/StoragePolicyStatus.h>
#include <pelk/qor/host/PelkProactiveRebalanceInfoEx.h>
#include <pelk/qor/pelk/PelkNetworkConfigPnicSpeedInconsistencyIssue.h>
#include <property_slot.h>
#include <value_filler.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/primitive.h>

#include <cmath>
#include <limits>
#include <thread>

namespace {

using Haldun::Ref;
using Zamli::DataObjectType;

std::vector<const DataObjectType*> DataTypes() {
  std::vector<const DataObjectType*> out;
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().FindNamespace("pelk")->GetTypes()) {
    if (auto* d = dynamic_cast<const DataObjectType*>(t)) out.push_back(d);
  }
  return out;
}

// Every property of every type (foreign ones too), two levels down.
Ref<Zamli::DynamicData> Filled(const DataObjectType& type, long changeAt = -1) {
  PelkTest::FillOptions options;
  options.maxDepth = 2;
  options.arrayLength = [](int) { return 2; };
  options.onlyOwnNamespace = false;
  if (changeAt >= 0) options.changed = [changeAt](long c) { return c == changeAt; };
  return PelkTest::ValueFiller(options).Build(type);
}

Ref<Zamli::DynamicData> Fresh(const DataObjectType& type) {
  return Ref<Zamli::DynamicData>(type.GetDataTypeInfo()->createInstance());
}

bool IsValueKind(const Zamli::PropertyInfo& p) {
  return !(p.flags & Zamli::kArrayFlag) && Zamli::IsPrimitive(Zamli::ValueKindOf(p.type));
}

TEST(DataObjects, EveryTypeHasItsRecordFunctions) {
  int withOptional = 0, noProperties = 0;
  for (const DataObjectType* type : DataTypes()) {
    const Zamli::DataTypeInfo& r = *type->GetDataTypeInfo();
    bool own = type->GetOwnPropertyCount() > 0;
    EXPECT_EQ(r.getProperty != nullptr, own) << type->GetName();
    EXPECT_EQ(r.setProperty != nullptr, own) << type->GetName();
    EXPECT_NE(r.isPropertySet, nullptr);
    EXPECT_NE(r.createInstance, nullptr);
    EXPECT_NE(r.createArray, nullptr);
    EXPECT_EQ(r.reserved, nullptr);
    withOptional += r.unsetProperty != nullptr;
    noProperties += !own;
    if (!own) {
      EXPECT_TRUE(r.isPropertySet(Fresh(*type).Get(), 0)) << type->GetName();
    }
  }
  EXPECT_EQ(withOptional, 586);
  EXPECT_EQ(noProperties, 63);
}

TEST(DataObjects, FreshObjectsHoldNothingButRequiredValues) {
  for (const DataObjectType* type : DataTypes()) {
    Ref<Zamli::DynamicData> obj = Fresh(*type);
    EXPECT_EQ(obj->GetRefCount(), 1);
    EXPECT_EQ(obj->_GetType(), type);
    EXPECT_EQ(obj->_GetDataType(), type);
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
      bool expectSet = IsValueKind(*p.info) && !(p.info->flags & Zamli::kOptionalFlag);
      EXPECT_EQ(r.isPropertySet(obj.Get(), p.index), expectSet) << type->GetName() << "." << p.info->name;
      EXPECT_EQ(r.getPropertyAddr(obj.Get(), p.index) != nullptr, expectSet) << type->GetName() << "." << p.info->name;
    }
  }
}

TEST(DataObjects, ClonesAreDeepAndEqual) {
  for (const DataObjectType* type : DataTypes()) {
    Ref<Zamli::DynamicData> source = Filled(*type);
    Ref<Zamli::Any> copy(source->_Clone());
    ASSERT_NE(copy.Get(), source.Get());
    EXPECT_EQ(copy->GetRefCount(), 1);
    EXPECT_TRUE(source->_IsEqual(copy.Get(), false)) << type->GetName();
    EXPECT_TRUE(copy->_IsEqual(source.Get(), true)) << type->GetName();
    EXPECT_TRUE(Zamli::ListDifferences(*source, *copy).empty()) << type->GetName();
    // Nested data objects are new objects; references to managed objects are shared.
    auto* clone = static_cast<Zamli::DynamicData*>(copy.Get());
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      if (p.IsInline() || p.array) continue;
      const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
      const void* a = r.getPropertyAddr(source.Get(), p.index);
      const void* b = r.getPropertyAddr(clone, p.index);
      if (p.info->type->kind == Zamli::kManagedKind) {
        EXPECT_EQ(a, b) << type->GetName() << "." << p.info->name;
      } else if (p.info->type->kind == Zamli::kDataKind) {
        EXPECT_NE(a, b) << type->GetName() << "." << p.info->name;
      }
    }
  }
}

TEST(DataObjects, OneChangedLeafIsExactlyItsPath) {
  for (const DataObjectType* type : DataTypes()) {
    // The filler reports each scalar with its path; change each in turn.
    std::vector<PelkTest::FilledValue> values;
    PelkTest::FillOptions options;
    options.maxDepth = 2;
    options.arrayLength = [](int) { return 2; };
    options.onlyOwnNamespace = false;
    PelkTest::ValueFiller filler(options);
    filler.OnValue([&](const PelkTest::FilledValue& v) { values.push_back(v); });
    Ref<Zamli::DynamicData> a = filler.Build(*type);
    // A sample keeps the test quick: first, last and every seventh value.
    for (size_t i = 0; i < values.size(); i += (i + 7 < values.size() ? 7 : 1)) {
      Ref<Zamli::DynamicData> b = Filled(*type, values[i].counter);
      std::vector<std::string> diffs = Zamli::ListDifferences(*a, *b);
      ASSERT_EQ(diffs.size(), 1u) << type->GetName() << " changing " << values[i].path;
      EXPECT_EQ(diffs[0], values[i].changePath) << type->GetName() << " changing " << values[i].path;
      EXPECT_FALSE(a->_IsEqual(b.Get(), false));
    }
  }
}

using PelkTest::Slot;

TEST(DataObjects, EveryPropertyRoundTripsThroughTheRecordFunctions) {
  for (const DataObjectType* type : DataTypes()) {
    Ref<Zamli::DynamicData> source = Filled(*type);
    Ref<Zamli::DynamicData> target = Fresh(*type);
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
      if (!r.isPropertySet(source.Get(), p.index)) continue;
      PelkTest::MoveProperty(p, source.Get(), target.Get());
      EXPECT_TRUE(r.isPropertySet(target.Get(), p.index)) << type->GetName() << "." << p.info->name;
    }
    EXPECT_TRUE(source->_IsEqual(target.Get(), false)) << type->GetName();
    EXPECT_TRUE(Zamli::ListDifferences(*source, *target).empty()) << type->GetName();
  }
}

TEST(DataObjects, ArrayGetterCreatesOneArrayEvenUnderTwoThreads) {
  for (int round = 0; round < 50; ++round) {
    Qor::Cluster::StorageComplianceResult result;
    EXPECT_EQ(result.violatedPolicies, nullptr);
    Zamli::DataArray<Qor::Cluster::StoragePolicyStatus>* seen[2] = {};
    std::thread a([&] { seen[0] = result.GetViolatedPolicies(); });
    std::thread b([&] { seen[1] = result.GetViolatedPolicies(); });
    a.join();
    b.join();
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0]->GetRefCount(), 1);
    EXPECT_EQ(result.GetViolatedPolicies(), seen[0]);
  }
}

TEST(DataObjects, EmptyArraysReadAsUnset) {
  auto* type = Zamli::GetDoType<Qor::Cluster::StorageComplianceResult>();
  Qor::Cluster::StorageComplianceResult result;
  const Zamli::DataTypeInfo& r = *type->GetDataTypeInfo();
  const int violated = type->FindProperty("violatedPolicies")->index;
  Ref<Zamli::Any> array;
  r.getProperty(&result, violated, &array);  // installs an empty array
  EXPECT_EQ(array.Get(), result.violatedPolicies.Get());
  EXPECT_EQ(r.getPropertyAddr(&result, violated), nullptr);
  EXPECT_FALSE(r.isPropertySet(&result, violated));
  Qor::Cluster::StorageComplianceResult other;
  EXPECT_TRUE(result._IsEqual(&other, false)) << "an empty array equals an absent one";
}

TEST(DataObjects, OptionalValuesUnderEachFlag) {
  Qor::Host::PelkProactiveRebalanceInfoEx a, b;
  a.timeThreshold = 5;
  EXPECT_TRUE(a._IsEqual(&b, true)) << "what the other side left unset matches";
  EXPECT_FALSE(a._IsEqual(&b, false));
  EXPECT_FALSE(b._IsEqual(&a, true)) << "an unset value never matches a set one";
  EXPECT_EQ(Zamli::ListDifferences(a, b), std::vector<std::string>{"timeThreshold"});
  // Stale values behind unset flags take no part.
  a.timeThreshold.Unset();
  a.hostname = "stale-a";
  a.hostname.Unset();
  b.hostname = "stale-b";
  b.hostname.Unset();
  EXPECT_TRUE(a._IsEqual(&b, false));
  Ref<Zamli::Any> copy(a._Clone());
  EXPECT_FALSE(static_cast<Qor::Host::PelkProactiveRebalanceInfoEx*>(copy.Get())->hostname.IsSet());
  // Booleans: one byte, -1 unset.
  Slot slot;
  auto* type = Zamli::GetDoType<Qor::Host::PelkProactiveRebalanceInfoEx>();
  type->GetDataTypeInfo()->getProperty(&a, type->FindProperty("running")->index, &slot.byte);
  EXPECT_EQ(slot.byte, -1);
}

TEST(DataObjects, FloatsDateTimesAndStrings) {
  Qor::Host::PelkProactiveRebalanceInfoEx a, b;
  a.varianceThreshold = std::numeric_limits<float>::quiet_NaN();
  b.varianceThreshold = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(a._IsEqual(&b, false)) << "NaN matches nothing";
  EXPECT_EQ(Zamli::ListDifferences(a, b), std::vector<std::string>{"varianceThreshold"});
  a.varianceThreshold = 0.0f;
  b.varianceThreshold = -0.0f;
  a.startTs = Haldun::System::DateTime::ParseIso8601("2026-12-06T12:00:00+01:00");
  b.startTs = Haldun::System::DateTime::ParseIso8601("2026-12-06T11:00:00Z");
  EXPECT_TRUE(a._IsEqual(&b, false)) << "0 == -0, and one instant in two zones";
  a.hostname = "Host";
  b.hostname = "host";
  EXPECT_EQ(Zamli::ListDifferences(a, b), std::vector<std::string>{"hostname"}) << "no case folding";
}

TEST(DataObjects, BasePropertiesComeFirst) {
  Qor::Pelk::PelkNetworkConfigPnicSpeedInconsistencyIssue a, b;
  a.host = Ref<Zamli::MoRef>(new Zamli::MoRef("qor.HostSystem", "host-1"));
  b.host = Ref<Zamli::MoRef>(new Zamli::MoRef("qor.HostSystem", "host-2"));
  a.GetSpeedsMb()->Append(100);
  EXPECT_EQ(Zamli::ListDifferences(a, b), (std::vector<std::string>{"host", "speedsMb"}));
  Qor::Cluster::PelkClusterHealthExternalLink x, y;
  x.label = "inherited";
  x.url = "u";
  y.url = "v";
  EXPECT_EQ(Zamli::ListDifferences(x, y), (std::vector<std::string>{"label", "url"}));
}

TEST(DataObjects, CopiesShareReferencesAndCloneObjects) {
  Qor::Host::PelkProactiveRebalanceInfoEx a;
  a.error = Ref<Zamli::MethodFault>(new Zamli::MethodFault());
  Qor::Pelk::PelkNetworkConfigPnicSpeedInconsistencyIssue issue;
  issue.host = Ref<Zamli::MoRef>(new Zamli::MoRef("qor.HostSystem", "host-1"));
  Qor::Pelk::PelkNetworkConfigPnicSpeedInconsistencyIssue copy(issue);
  EXPECT_EQ(copy.host, issue.host);
  EXPECT_EQ(issue.host->GetRefCount(), 2);
  Qor::Host::PelkProactiveRebalanceInfoEx b(a);
  ASSERT_NE(b.error, nullptr);
  EXPECT_NE(b.error, a.error);
  b.error->GetFaultMessage()->Append(new Zamli::LocalizableMessage());
  EXPECT_EQ(a.error->faultMessage, nullptr) << "changing the copy leaves the source alone";
}

TEST(DataObjects, WrongClassesAreRejectedAndLeaveTheOldValue) {
  auto* type = Zamli::GetDoType<Qor::Cluster::StorageComplianceResult>();
  Qor::Cluster::StorageComplianceResult result;
  auto status = Ref<Qor::Cluster::StorageOperationalStatus>(new Qor::Cluster::StorageOperationalStatus());
  result.operationalStatus = status;
  Ref<Zamli::Any> ref(new Zamli::MoRef("qor.HostSystem", "host-1"));
  Zamli::Any* raw = ref.Get();
  const int index = type->FindProperty("operationalStatus")->index;
  try {
    type->GetDataTypeInfo()->setProperty(&result, index, &raw);
    FAIL() << "no type mismatch";
  } catch (const Haldun::TypeMismatchException& e) {
    EXPECT_NE(std::string(e.what()).find("Qor::Cluster::StorageOperationalStatus"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Zamli::MoRef"), std::string::npos) << e.what();
  }
  EXPECT_EQ(result.operationalStatus, status);
  raw = nullptr;
  type->GetDataTypeInfo()->setProperty(&result, index, &raw);
  EXPECT_EQ(result.operationalStatus, nullptr);
  EXPECT_FALSE(type->GetDataTypeInfo()->isPropertySet(&result, index));
}

TEST(DataObjects, SwapHandsOverValueAndFlag) {
  auto* type = Zamli::GetDoType<Qor::Host::PelkProactiveRebalanceInfoEx>();
  Qor::Host::PelkProactiveRebalanceInfoEx a;
  a.hostname = "mine";
  Haldun::Optional<std::string> caller;
  type->GetDataTypeInfo()->swapProperty(&a, type->FindProperty("hostname")->index, &caller);
  EXPECT_FALSE(a.hostname.IsSet());
  ASSERT_TRUE(caller.IsSet());
  EXPECT_EQ(caller.GetValue(), "mine");
  a.timeThreshold = 9;
  type->GetDataTypeInfo()->unsetProperty(&a, type->FindProperty("timeThreshold")->index);
  int stale = 0;
  type->GetDataTypeInfo()->getProperty(&a, type->FindProperty("timeThreshold")->index, &stale);
  EXPECT_EQ(stale, 9) << "unset leaves the value behind";
  EXPECT_EQ(type->GetDataTypeInfo()->getPropertyAddr(&a, type->FindProperty("timeThreshold")->index), nullptr);
}

TEST(DataObjects, ToStringMasksSecretsAndLeavesOutUnsetOptionals) {
  Qor::Cluster::PelkClusterTelemetryProxyConfig config;
  config.host = "proxy.example";
  config.password = "hunter2";
  std::string text = config.ToString();
  EXPECT_NE(text.find("(qor.cluster.PelkClusterTelemetryProxyConfig) {"), std::string::npos) << text;
  EXPECT_NE(text.find("host = \"proxy.example\""), std::string::npos) << text;
  EXPECT_NE(text.find("password = ********"), std::string::npos) << text;
  EXPECT_EQ(text.find("hunter2"), std::string::npos) << text;
  EXPECT_EQ(text.find("port"), std::string::npos) << text;
  // The whole workload tree prints, nested and indented.
  std::string tree = PelkTest::ValueFiller().Build(PelkTest::WorkloadRootType())->ToString();
  EXPECT_NE(tree.find("\n      status = \"status-0\","), std::string::npos) << tree.substr(0, 400);
}

TEST(DataObjects, FaultsDiffThroughTheirRecords) {
  Zamli::MethodFault a, b;
  b.faultCause = Ref<Zamli::MethodFault>(new Zamli::MethodFault());
  EXPECT_EQ(Zamli::ListDifferences(a, b), std::vector<std::string>{"faultCause"});
  EXPECT_FALSE(a._IsEqual(&b, false));
  EXPECT_TRUE(b._IsEqual(&a, true));
}

TEST(DataObjects, TheWorkloadTreesDifferInTheirEightyFivePaths) {
  PelkTest::ValueFiller filler;
  Ref<Zamli::DynamicData> a = filler.Build(PelkTest::WorkloadRootType());
  EXPECT_EQ(filler.Objects(), 1340);
  EXPECT_EQ(filler.Counter(), 8459);
  PelkTest::FillOptions options;
  options.changed = [](long c) { return c % 100 == 37; };
  Ref<Zamli::DynamicData> b = PelkTest::ValueFiller(options).Build(PelkTest::WorkloadRootType());
  std::vector<std::string> diffs = Zamli::ListDifferences(*a, *b);
  ASSERT_EQ(diffs.size(), 85u);
  EXPECT_EQ(diffs[0], "clusterVersions.hostResults[3].version");
  Ref<Zamli::Any> copy(a->_Clone());
  EXPECT_TRUE(a->_IsEqual(copy.Get(), false));
  EXPECT_TRUE(Zamli::ListDifferences(*a, *copy).empty());
}

TEST(ValueClasses, ArraysAndBoxes) {
  Zamli::Array<int> ints, empty;
  ints.Append(0);
  ints.Append(2);
  Ref<Zamli::Any> intBox = Zamli::Box(2);
  EXPECT_FALSE(ints._IsEqual(intBox.Get(), false)) << "an array and a box are unequal, without an error";
  EXPECT_FALSE(ints._IsEqual(nullptr, false));
  EXPECT_FALSE(ints._IsEqual(&empty, false));
  EXPECT_TRUE(empty._IsEqual(Ref<Zamli::Any>(new Zamli::Array<int>()).Get(), false));
  Zamli::PropertyDiffSet diffs;
  empty._DiffProperties(&ints, "p.list", diffs);
  EXPECT_EQ(diffs.GetChanged(), std::vector<std::string>{"p.list"});
  Ref<Zamli::Any> clone(ints._Clone());
  EXPECT_NE(clone.Get(), &ints);
  EXPECT_TRUE(clone->_IsEqual(&ints, false));

  Ref<Zamli::Any> nan = Zamli::Box(std::numeric_limits<float>::quiet_NaN());
  EXPECT_FALSE(nan->_IsEqual(nan.Get(), false));
  EXPECT_EQ(intBox->_Clone(), intBox.Get()) << "boxes are shared, not copied";
  EXPECT_THROW(intBox->_IsEqual(Zamli::Box(std::string("2")).Get(), false), Haldun::TypeMismatchException);
  EXPECT_EQ(Zamli::Box(true).Get(), Zamli::Primitive<bool>::Factory::sTrue);
  EXPECT_EQ(Zamli::NarrowTo<Zamli::MoRef>(static_cast<Zamli::Any*>(nullptr)), nullptr);
  EXPECT_FALSE(Zamli::AreEqual(intBox.Get(), Zamli::Box(2L).Get())) << "different classes";
}

}  // namespace
