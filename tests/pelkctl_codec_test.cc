// `pelkctl encode` and `pelkctl decode`: documents through the transcoder
// that both commands run, against what the codecs write themselves.
#include <gtest/gtest.h>
#include <transcode.h>
#include <wire_support.h>
#include <zamli/types/registry.h>
#include <zamli/values/data_array.h>
#include <zamli/values/method_fault.h>
#include <zamli/wire/codec.h>

#include <sstream>

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

// The fault a transcoding raises, as the commands print it, or empty; and
// what it wrote.
std::string Transcode(const std::string& document, const Zamli::Type& type, const char* from, const char* to,
                      const Zamli::Version& version, std::string& written) {
  std::istringstream in(document);
  std::ostringstream out;
  std::string fault;
  try {
    Pelkctl::Transcode(in, out, type, version, from, to);
  } catch (const Zamli::MethodFault::Exception& e) {
    fault = Zamli::Wire::Describe(*e.GetFault());
  }
  written = out.str();
  return fault;
}

TEST(PelkctlCodec, EachWayWritesWhatTheOtherCodecWrites) {
  const auto& root = PelkTest::WorkloadRootType();
  // The workload's root, smaller: objects two levels down, arrays of two.
  Haldun::Ref<Zamli::Any> two(root.GetDataTypeInfo()->createArray());
  for (int i = 0; i < 2; ++i) static_cast<Zamli::DataArrayBase*>(two.Get())->AppendAny(WireTest::Filled(root).Get());
  struct Case {
    const char* what;
    Haldun::Ref<Zamli::Any> value;
    const Zamli::Type& type;
    const Zamli::Version& version;
  };
  const Case cases[] = {
      {"the whole workload tree", PelkTest::ValueFiller().Build(root), root, Pelkctl::NewestVersion()},
      {"an array type named by trailing brackets", two, *Pelkctl::FindValueType("PelkClusterHealthSummary[]"),
       Pelkctl::NewestVersion()},
      // The version goes to both codecs: what it leaves out stays out.
      {"an older version", WireTest::Filled(root), root, Zamli::Wire::FindVersion("pelk.version.version11")},
  };
  for (const Case& c : cases) {
    const Codec xml(Encoding::kXml, c.version), json(Encoding::kJson, c.version);
    const std::string asXml = xml.EncodeValue(c.value.Get(), c.type), asJson = json.EncodeValue(c.value.Get(), c.type);
    // What `decode` prints is the value's own JSON document, on one line.
    std::string written;
    EXPECT_EQ(Transcode(asXml, c.type, "xml", "json", c.version, written), "") << c.what;
    EXPECT_EQ(written, asJson + "\n") << c.what;
    EXPECT_EQ(Transcode(asJson, c.type, "json", "xml", c.version, written), "") << c.what;
    EXPECT_EQ(written, asXml + "\n") << c.what;
  }
  EXPECT_EQ(Pelkctl::NewestVersion().GetName(), "pelk.version.version25");
}

TEST(PelkctlCodec, TypesByNameAndTrailingBrackets) {
  const auto& root = PelkTest::WorkloadRootType();
  EXPECT_EQ(Pelkctl::FindValueType("PelkClusterHealthSummary[]"), root.GetArrayType());
  EXPECT_EQ(Pelkctl::FindValueType("qor.cluster.PelkClusterHealthSummary[]"), root.GetArrayType());
  EXPECT_EQ(Pelkctl::FindValueType("qor.cluster.PelkClusterHealthSummary"), &root);
  EXPECT_EQ(Pelkctl::FindValueType("string[]"), Zamli::TypeRegistry::Instance().FindByName("string")->GetArrayType());
  EXPECT_EQ(Pelkctl::FindValueType("NoSuchType[]"), nullptr);
  EXPECT_EQ(Pelkctl::FindValueType("[]"), nullptr);
}

TEST(PelkctlCodec, BadInputRaisesTheFaultAndWritesNothing) {
  // healthScore and other recent properties are set: an older version refuses them.
  const std::string recent = Codec(Encoding::kJson, Pelkctl::NewestVersion())
                                 .EncodeValue(WireTest::Filled(PelkTest::WorkloadRootType()).Get(),
                                              PelkTest::WorkloadRootType());
  struct Case {
    std::string document;
    const char* type;
    const char* from;
    const char* to;
    const char* version;
    const char* faultStart;
  };
  for (const Case& c : {
           Case{"<int>x</int>", "int", "xml", "json", "pelk.version.version25", "kettar.fault.InvalidArgument"},
           Case{"{\"_typeName\":", "anyType", "json", "xml", "pelk.version.version25", "kettar.fault.InvalidArgument"},
           Case{"5", "int", "json", "yaml", "pelk.version.version25",
                "kettar.fault.InvalidArgument: no encoding named \"yaml\" (json, xml)"},
           Case{recent, "PelkClusterHealthSummary", "json", "xml", "pelk.version.version11",
                "kettar.fault.NotSupported"},
       }) {
    std::string written = "unset";
    const std::string fault = Transcode(c.document, *Pelkctl::FindValueType(c.type), c.from, c.to,
                                        Zamli::Wire::FindVersion(c.version), written);
    EXPECT_EQ(fault.rfind(c.faultStart, 0), 0u) << fault;
    EXPECT_EQ(written, "") << c.document.substr(0, 100);
  }
}

}  // namespace
