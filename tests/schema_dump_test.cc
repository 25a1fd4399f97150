// The schema as the runtime reports it (the dump pelkctl prints) against the
// schema files: the generator's model of them, and their own counts.
#include <gtest/gtest.h>
#include <schema_dump.h>

#include <fstream>
#include <nlohmann/json.hpp>

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

TEST(SchemaDump, CountsOfTheInterface) {
  std::map<std::string, int> kinds;
  int dataProperties = 0, methods = 0, tags = 0, managedProperties = 0;
  for (const Json& t : Dump()["types"]) {
    std::string kind = t["kind"];
    ++kinds[kind];
    if (kind == "data" || kind == "fault") dataProperties += static_cast<int>(t["properties"].size());
    if (kind == "enum") tags += static_cast<int>(t["tags"].size());
    if (kind == "managed") {
      methods += static_cast<int>(t["methods"].size());
      managedProperties += static_cast<int>(t["properties"].size());
    }
  }
  EXPECT_EQ(Dump()["types"].size(), 1006u);
  EXPECT_EQ(kinds, (std::map<std::string, int>{{"data", 750}, {"fault", 54}, {"enum", 143}, {"managed", 59}}));
  EXPECT_EQ(dataProperties, 2840);
  EXPECT_EQ(methods, 653);
  EXPECT_EQ(tags, 1010);
  EXPECT_EQ(managedProperties, 10);
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

TEST(SchemaDump, DescribeShowsMembersWithTheirIndexes) {
  std::ostringstream out;
  Pelkctl::Describe(*Pelkctl::FindType("PelkDebugSystem"), out);
  const std::string text = out.str();
  EXPECT_NE(text.find("managed qor.pelk.PelkDebugSystem"), std::string::npos) << text;
  EXPECT_NE(text.find("[4] property entity: ref kettar.ManagedObject[]"), std::string::npos) << text;
  EXPECT_EQ(Pelkctl::FindType("NoSuchType"), nullptr);
}

}  // namespace
