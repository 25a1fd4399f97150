// The namespace's versions as the runtime holds them after loading: the
// table, the parent relation, inclusion, and the namespace's variables.
#include <gtest/gtest.h>
#include <pelk/type_infos.h>
#include <qor/type_infos.h>
#include <zamli/types/registry.h>

namespace {

using Zamli::TypeRegistry;

std::string P(int n) { return "pelk.version.version" + std::to_string(n); }
std::string Q(int n) { return "qor.version.version" + std::to_string(n); }

const Zamli::Namespace& Pelk() { return *TypeRegistry::Instance().FindNamespace("pelk"); }

TEST(Versions, TableIsNewestFirstWithFreeTextLabels) {
  const auto& versions = Pelk().GetVersions();
  ASSERT_EQ(versions.size(), 23u);
  for (int i = 0; i < 23; ++i) EXPECT_EQ(versions[static_cast<size_t>(i)]->GetName(), P(25 - i));
  struct Label {
    int version;
    const char* label;
  } labels[] = {{25, "reserved"},   {24, "dev.version"}, {23, "8.0.0.4"}, {18, "pelk 7.0U3"},
                {11, "pelk 6.7U3"}, {8, "YUV M5"},       {6, "6.7.0"},    {3, "6.6"}};
  for (const Label& l : labels) EXPECT_EQ(TypeRegistry::Instance().FindVersion(P(l.version))->GetLabel(), l.label);
  EXPECT_EQ(Pelk().GetRequiredNamespaces(), std::vector<std::string>{"qor"});
}

TEST(Versions, ParentsOfEachVersion) {
  struct Case {
    int version;
    std::vector<std::string> parents;
  };
  const Case cases[] = {
      {3, {Q(11)}},
      {4, {Q(11), P(3)}},
      {7, {Q(12), P(6)}},
      {9, {Q(13), P(8)}},
      {20, {"qor.version.v8_0_0_1", P(19)}},
      {24, {"qor.version.v8_0_0_1", P(23)}},
      {25, {"qor.version.v8_0_0_1", "qor.version.unstable", P(24)}},
  };
  int pairs = 0;
  for (const Zamli::Version* v : Pelk().GetVersions()) pairs += static_cast<int>(v->GetParents().size());
  EXPECT_EQ(pairs, 46);
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (const Zamli::Version* p : TypeRegistry::Instance().FindVersion(P(c.version))->GetParents()) {
      names.push_back(p->GetName());
    }
    EXPECT_EQ(names, c.parents) << P(c.version);
  }
}

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
}

TEST(Versions, EveryVersionNamedByTheSchemaIsKnown) {
  // Types, properties, parameters and methods name versions of all three
  // namespaces; registration reports any it cannot resolve (see Registration).
  for (const char* name : {"qor.version.version1", "qor.version.version2", "qor.version.version5",
                           "qor.version.version9", "qor.version.version13", "kettar.version.version0",
                           "kettar.version.version1", "kettar.query.version.version1"}) {
    const Zamli::Version* v = TypeRegistry::Instance().FindVersion(name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_NE(v->GetNamespace(), &Pelk());
  }
}

TEST(Versions, NamespaceVariablesHoldTheRuntimesObjects) {
  EXPECT_EQ(Pelk::kettarNamespaceId, Pelk().GetId());
  EXPECT_NE(Pelk::kettarNamespaceId, -1);
  for (int i = 0; i < 23; ++i) {
    EXPECT_EQ(Pelk::officialVersions[i], Pelk().GetVersions()[static_cast<size_t>(i)]);
    EXPECT_EQ(Pelk::internalVersions[i], Pelk().GetVersions()[static_cast<size_t>(i)]);
  }
  ASSERT_NE(Pelk::GetRcVersion(), nullptr);
  EXPECT_EQ(Pelk::GetRcVersion()->GetName(), P(25));
  EXPECT_NE(Qor::kettarNamespaceId, Pelk::kettarNamespaceId);
}

TEST(Versions, TypesResolveTheirVersion) {
  for (const Zamli::Type* t : Pelk().GetTypes()) {
    ASSERT_NE(t->GetVersion(), nullptr) << t->GetName();
    EXPECT_EQ(t->GetVersion()->GetName(), t->GetVersionName());
  }
}

}  // namespace
