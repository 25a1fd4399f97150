// What loading the library registers: the namespace, its versions and the
// types in their slots, read back through the runtime and the records.
#include <gtest/gtest.h>
#include <haldun/exception.h>
#include <pelk/all.h>
#include <pelk/type_infos.h>
#include <qor/type_infos.h>
#include <zamli/types/registry.h>

#include <string>
#include <thread>

namespace {

using Zamli::TypeRegistry;

const Zamli::Namespace& Pelk() {
  const Zamli::Namespace* ns = TypeRegistry::Instance().FindNamespace("pelk");
  EXPECT_NE(ns, nullptr);
  return *ns;
}

const Zamli::ManagedObjectType& Managed(const char* name) {
  auto* t = dynamic_cast<const Zamli::ManagedObjectType*>(TypeRegistry::Instance().FindByName(name));
  EXPECT_NE(t, nullptr) << name;
  return *t;
}

TEST(Registration, LoadsWithoutProblems) {
  EXPECT_TRUE(TypeRegistry::Instance().GetLoadProblems().empty()) << TypeRegistry::Instance().GetLoadProblems().front();
}

// Each type belongs to the namespace; bases are created before the types
// derived from them, and a fault is one exactly when it derives from the root.
// (The order of the list is the model's: schema_dump_test.)
TEST(Registration, EveryTypeKnowsItsNamespaceAndBase) {
  const auto* faultRoot = dynamic_cast<const Zamli::DataObjectType*>(
      TypeRegistry::Instance().FindByTypeInfo(&Zamli::gKettarMethodFaultTypeInfo));
  ASSERT_NE(faultRoot, nullptr);
  const auto& types = Pelk().GetTypes();
  for (size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(types[i]->GetNamespace(), &Pelk());
    if (auto* m = dynamic_cast<const Zamli::ManagedObjectType*>(types[i])) {
      EXPECT_EQ(m->GetManagedTypeInfo()->baseTypeInfo, &Zamli::gKettarManagedObjectTypeInfo);
    }
    auto* data = dynamic_cast<const Zamli::DataObjectType*>(types[i]);
    if (data == nullptr) continue;
    EXPECT_EQ(data->IsFault(), data->IsA(faultRoot)) << data->GetName();
    ASSERT_NE(data->GetBase(), nullptr) << data->GetName();
    EXPECT_EQ(data->GetBase()->GetTypeInfo(), data->GetDataTypeInfo()->baseType);
    if (data->GetBase()->GetNamespace() == &Pelk()) {
      auto base = std::find(types.begin(), types.end(), data->GetBase()) - types.begin();
      EXPECT_LT(static_cast<size_t>(base), i) << data->GetName();
    }
  }
}

TEST(Registration, LookupsByNameWireNameAndRecord) {
  auto& registry = TypeRegistry::Instance();
  Zamli::Type* spec = registry.FindByName("dp.ruv.CancelSnapshotOpSpec");
  ASSERT_NE(spec, nullptr);
  EXPECT_EQ(registry.FindByWsdlName("DpCancelSnapshotOpSpec"), spec);
  EXPECT_EQ(registry.FindByTypeInfo(&gDpRuvCancelSnapshotOpSpecTypeInfo), spec);
  EXPECT_EQ(registry.FindByName("no.such.Type"), nullptr);
  EXPECT_EQ(registry.FindByWsdlName(""), nullptr);
}

TEST(Registration, InheritedPropertiesComeFirst) {
  auto* link = dynamic_cast<Zamli::DataObjectType*>(
      TypeRegistry::Instance().FindByName("qor.cluster.PelkClusterHealthExternalLink"));
  ASSERT_NE(link, nullptr);
  std::vector<std::string> names;
  for (const auto& p : link->GetAllProperties()) names.push_back(p.info->name);
  EXPECT_EQ(names, (std::vector<std::string>{"label", "url", "category"}));
  EXPECT_EQ(link->GetOwnPropertyCount(), 2);
  EXPECT_EQ(link->GetAllProperties()[0].owner, link->GetBase());
  EXPECT_THROW(link->GetOwnProperty(2), Haldun::OutOfRangeException);
}

// Registration classifies every property once and resolves the type of a
// data or enumeration property, wherever the type list puts that type.
TEST(Registration, PropertyDescriptorsKeepKindFlagsAndType) {
  std::set<Zamli::ValueKind> kinds;
  for (const Zamli::Type* t : TypeRegistry::Instance().GetAllTypes()) {
    auto* data = dynamic_cast<const Zamli::DataObjectType*>(t);
    if (data == nullptr) continue;
    for (const Zamli::PropertyRef& p : data->GetAllProperties()) {
      const std::string where = t->GetName() + "." + p.info->name;
      kinds.insert(p.kind);
      EXPECT_EQ(p.kind, Zamli::ValueKindOf(p.info->type)) << where;
      EXPECT_EQ(p.array, (p.info->flags & Zamli::kArrayFlag) != 0) << where;
      EXPECT_EQ(p.optional, (p.info->flags & Zamli::kOptionalFlag) != 0) << where;
      EXPECT_EQ(p.secret, (p.info->flags & Zamli::kSecretFlag) != 0) << where;
      if (p.kind == Zamli::ValueKind::kData || p.kind == Zamli::ValueKind::kEnum) {
        ASSERT_NE(p.type, nullptr) << where;
        EXPECT_EQ(p.type->GetTypeInfo(), p.info->type) << where;
      } else {
        EXPECT_EQ(p.type, nullptr) << where;
      }
    }
  }
  for (Zamli::ValueKind k : {Zamli::ValueKind::kString, Zamli::ValueKind::kBool, Zamli::ValueKind::kLong,
                             Zamli::ValueKind::kAny, Zamli::ValueKind::kMoRef, Zamli::ValueKind::kData}) {
    EXPECT_TRUE(kinds.count(k)) << static_cast<int>(k);
  }
}

TEST(Registration, MethodObjectArraysHoldMembersThenANull) {
  const Zamli::ManagedObjectType& debug = Managed("qor.pelk.PelkDebugSystem");
  ASSERT_EQ(debug.GetMethodCount(), 4);
  ASSERT_EQ(debug.GetPropertyCount(), 1);
  for (int k = 0; k < debug.GetMemberCount(); ++k) {
    EXPECT_EQ(gQorPelkPelkDebugSystemMethodObjects[k], debug.GetMember(k));
    EXPECT_EQ(gQorPelkPelkDebugSystemMethodObjects[k]->GetMemberIndex(), k);
  }
  EXPECT_TRUE(gQorPelkPelkDebugSystemMethodObjects[4]->IsPropertyReader());
  EXPECT_STREQ(gQorPelkPelkDebugSystemMethodObjects[4]->GetName(), "entity");
  EXPECT_EQ(gQorPelkPelkDebugSystemMethodObjects[5], nullptr);
  EXPECT_THROW(debug.GetMember(5), Haldun::OutOfRangeException);
  // A managed type without methods still has a method table and P + 1 slots.
  const Zamli::ManagedObjectType& usage = Managed("qor.pelk.PelkForbSpaceUsage");
  EXPECT_EQ(usage.GetMethodCount(), 0);
  ASSERT_NE(usage.GetManagedTypeInfo()->methods, nullptr);
  EXPECT_EQ(usage.GetManagedTypeInfo()->methods[0].name, nullptr);
  EXPECT_EQ(gQorPelkPelkForbSpaceUsageMethodObjects[6]->GetName(), std::string("currentObjectSpaceUsage"));
  EXPECT_EQ(gQorPelkPelkForbSpaceUsageMethodObjects[7], nullptr);
}

TEST(Registration, FindPropertyMatchesWholeNamesOnly) {
  const Zamli::ManagedTypeInfo* usage = Managed("qor.pelk.PelkForbSpaceUsage").GetManagedTypeInfo();
  ASSERT_NE(usage->findProperty, nullptr);
  struct Case {
    const char* name;
    int length;
    int expected;
  } cases[] = {
      {"currentPelkForbCapacity", 23, 0},
      {"currentObjectCount", 18, 1},
      {"currentObjectSpaceUsage", 23, 6},
      {"currentObjectCountX", 18, 1},
      {"current", 7, -1},
      {"currentObjectCount", 17, -1},
      {"", 0, -1},
      {"nothing", 7, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(usage->findProperty(c.name, c.length), c.expected) << c.name;
  EXPECT_EQ(Managed("qor.cluster.PelkZovClusterHealthSystem").GetManagedTypeInfo()->findProperty, nullptr);
}

// Registration is over; any thread may read the registry, and the first
// request for an array type, which is made once and names its item, may come
// from several threads at once.
TEST(Registration, ConcurrentReadersSeeOneArrayTypeNamingItsItem) {
  Zamli::Type* item = TypeRegistry::Instance().FindByName("qor.cluster.StoragePolicyStatus");
  ASSERT_NE(item, nullptr);
  std::vector<Zamli::ArrayType*> seen(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] {
      for (int k = 0; k < 200; ++k) {
        EXPECT_EQ(TypeRegistry::Instance().FindByWsdlName("PelkStoragePolicyStatus"), item);
        EXPECT_TRUE(TypeRegistry::Instance().Includes("pelk.version.version25", "qor.version.version9"));
      }
      seen[i] = item->GetArrayType();
    });
  }
  for (auto& t : threads) t.join();
  for (Zamli::ArrayType* a : seen) EXPECT_EQ(a, seen[0]);
  EXPECT_EQ(seen[0], item->GetArrayType());
  EXPECT_EQ(seen[0]->GetItemType(), item);
  EXPECT_TRUE(seen[0]->IsArray());
  EXPECT_EQ(seen[0]->GetName(), "qor.cluster.StoragePolicyStatus[]");
  EXPECT_EQ(seen[0]->GetWsdlName(), "ArrayOfPelkStoragePolicyStatus");
}

// The versions' names, labels and parents are the dump's (schema_dump_test);
// here what the runtime makes of them.
std::string P(int n) { return "pelk.version.version" + std::to_string(n); }
std::string Q(int n) { return "qor.version.version" + std::to_string(n); }

TEST(Versions, InclusionFollowsTheParentsTransitively) {
  struct Case {
    std::string version, included;
    bool expected;
  };
  const Case cases[] = {
      {P(25), P(25), true},
      {P(25), P(3), true},
      {P(3), P(4), false},
      {P(3), Q(11), true},
      {P(3), Q(12), false},
      {P(7), Q(12), true},
      {P(19), "qor.version.v8_0_0_1", false},
      {P(20), "qor.version.v8_0_0_1", true},
      {P(24), "qor.version.unstable", false},
      {P(25), "qor.version.unstable", true},
      {P(3), "kettar.version.version0", true},
      {P(3), "kettar.query.version.version1", true},
      {Q(1), P(3), false},
      {P(25), "pelk.version.version2", false},
      {"", P(3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypeRegistry::Instance().Includes(c.version, c.included), c.expected)
        << c.version << " includes " << c.included;
  }
  EXPECT_EQ(Pelk().GetRequiredNamespaces(), std::vector<std::string>{"qor"});
}

TEST(Versions, NamespaceVariablesHoldTheRuntimesObjects) {
  EXPECT_EQ(Pelk::kettarNamespaceId, Pelk().GetId());
  EXPECT_NE(Pelk::kettarNamespaceId, -1);
  const auto& versions = Pelk().GetVersions();
  for (size_t i = 0; i < versions.size(); ++i) {
    EXPECT_EQ(Pelk::officialVersions[i], versions[i]);
    EXPECT_EQ(Pelk::internalVersions[i], versions[i]);
  }
  ASSERT_NE(Pelk::GetRcVersion(), nullptr);
  EXPECT_EQ(Pelk::GetRcVersion()->GetName(), P(25));
  EXPECT_NE(Qor::kettarNamespaceId, Pelk::kettarNamespaceId);
  for (const Zamli::Type* t : Pelk().GetTypes()) {
    ASSERT_NE(t->GetVersion(), nullptr) << t->GetName();
    EXPECT_EQ(t->GetVersion()->GetName(), t->GetVersionName());
  }
}

}  // namespace
