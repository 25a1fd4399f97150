// The schema as the runtime reports it (the dump pelkctl prints) against the
// schema files: the generator's model of them, and their own counts.
#include <gtest/gtest.h>
#include <schema_dump.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

namespace {

using Json = nlohmann::ordered_json;

const Json& Dump() {
  static const Json dump = Pelkctl::DumpNamespace(*Zamli::TypeRegistry::Instance().FindNamespace("pelk"));
  return dump;
}

TEST(SchemaDump, EqualsTheModelOfTheSchemaFiles) {
  std::ifstream in(PELK_SCHEMA_MODEL);
  ASSERT_TRUE(in) << PELK_SCHEMA_MODEL;
  Json model = Json::parse(in);
  ASSERT_EQ(Dump()["types"].size(), model["types"].size());
  EXPECT_EQ(Dump()["versions"], model["versions"]);
  for (size_t i = 0; i < model["types"].size(); ++i) {
    // Type by type, so that a failure names the first type that differs.
    ASSERT_EQ(Dump()["types"][i], model["types"][i]) << "slot " << i;
  }
}

// The interface's counts, checked here only: the other suites walk the
// registry or the generated type list and trust them.
TEST(SchemaDump, CountsOfTheInterface) {
  std::map<std::string, int> kinds;
  int dataProperties = 0, methods = 0, tags = 0, managedProperties = 0, tasks = 0, aux = 0, privilegedParams = 0;
  std::multiset<std::string> secrets;
  for (const Json& t : Dump()["types"]) {
    std::string kind = t["kind"];
    ++kinds[kind];
    if (kind == "enum") tags += static_cast<int>(t["tags"].size());
    if (kind != "managed") dataProperties += static_cast<int>(t.value("properties", Json::array()).size());
    for (const Json& p : t.value("properties", Json::array())) {
      if (p["flags"].get<uint32_t>() & Zamli::kSecretFlag) secrets.insert(p["name"].get<std::string>());
    }
    if (kind != "managed") continue;
    managedProperties += static_cast<int>(t["properties"].size());
    for (const Json& m : t["methods"]) {
      ++methods;
      tasks += m["isTask"].get<bool>();
      aux += m["auxFlag"].get<bool>();
      EXPECT_EQ(m["isTask"].get<bool>(), m["wsdlName"].get<std::string>().ends_with("_Task")) << m["name"];
      for (const Json& p : m["params"]) privilegedParams += !p["privilege"].is_null();
    }
  }
  EXPECT_EQ(Dump()["types"].size(), 1006u);
  EXPECT_EQ(kinds, (std::map<std::string, int>{{"data", 750}, {"fault", 54}, {"enum", 143}, {"managed", 59}}));
  EXPECT_EQ(dataProperties, 2840);
  EXPECT_EQ(methods, 653);
  EXPECT_EQ(tags, 1010);
  EXPECT_EQ(managedProperties, 10);
  EXPECT_EQ(tasks, 14);
  EXPECT_EQ(aux, 345);
  EXPECT_EQ(privilegedParams, 280);
  EXPECT_EQ(secrets.size(), 14u);
  EXPECT_EQ(std::set<std::string>(secrets.begin(), secrets.end()),
            (std::set<std::string>{"password", "accountPassword", "accessKeyId", "secretAccessKey", "sessionToken",
                                   "authToken", "keyDerivationKey", "clientKey", "cookie", "objectStoreAccessKey",
                                   "objectStoreSecretKey"}));
  // The generated list the suites iterate names the same types and members.
  int enums = 0, faults = 0, managed = 0, members = 0;
#define ZAMLI_TEST_ENUM(E) ++enums;
#define ZAMLI_TEST_FAULT(F, Chain) ++faults;
#define ZAMLI_TEST_MANAGED(I, Stub, Server) ++managed;
#define ZAMLI_TEST_MEMBER(I, Operation, Index) ++members;
#include <pelk/type_list.inc>
  EXPECT_EQ(std::vector<int>({enums, faults, managed, members}), std::vector<int>({143, 54, 59, 663}));
}

TEST(SchemaDump, ShapeOfOneMethod) {
  // Golden fragment: the first method of the cluster health system.
  const Json* health = nullptr;
  for (const Json& t : Dump()["types"]) {
    if (t["name"] == "qor.cluster.PelkZovClusterHealthSystem") health = &t;
  }
  ASSERT_NE(health, nullptr);
  EXPECT_EQ((*health)["class"], "Qor::Cluster::PelkZovClusterHealthSystem");
  const Json expected = Json::parse(R"({
    "name": "getHclInfoForPelkEligibleDisks", "wsdlName": "PelkGetHclInfoForEligibleDisks",
    "privilege": "System.Read", "version": "pelk.version.version20", "isTask": false, "auxFlag": false,
    "result": {"type": "qor.cluster.PelkClusterHclInfo", "flags": 0, "version": "qor.version.version9"},
    "params": [{"name": "querySpec", "type": "qor.pelk.PelkHclQuerySpec", "flags": 0, "privilege": null,
                "version": "pelk.version.version20"}],
    "faults": ["qor.fault.NotFound", "qor.fault.PelkFault", "kettar.fault.NotSupported"]})");
  EXPECT_EQ((*health)["methods"][0], expected);
  const Json& noResult = (*health)["methods"][10];
  EXPECT_EQ(noResult["name"], "setUnsilencedHealthCheckRows");
  EXPECT_EQ(noResult["result"], Json::parse(R"({"type": null, "flags": 0, "version": "kettar.version.version0"})"));
}

}  // namespace
