// `pelkctl encode` and `pelkctl decode`: documents through the transcoder
// that both commands run, against what the codecs write themselves.
#include <gtest/gtest.h>
#include <transcode.h>
#include <wire_support.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>
#include <zamli/values/method_fault.h>
#include <zamli/wire/codec.h>

#include <sstream>

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

// The workload's root, smaller: objects two levels down, arrays of two.
Haldun::Ref<Zamli::DynamicData> Summary() { return WireTest::Filled(PelkTest::WorkloadRootType()); }

std::string Transcoded(const std::string& document, const Zamli::Type& type, const char* from, const char* to,
                       const Zamli::Version& version = Pelkctl::NewestVersion()) {
  std::istringstream in(document);
  std::ostringstream out;
  Pelkctl::Transcode(in, out, type, version, from, to);
  return out.str();
}

// The fault a transcoding raises, as the commands print it; empty when none.
std::string FaultOf(const std::string& document, const Zamli::Type& type, const char* from, const char* to,
                    const Zamli::Version& version, std::string* written) {
  std::istringstream in(document);
  std::ostringstream out;
  try {
    Pelkctl::Transcode(in, out, type, version, from, to);
  } catch (const Zamli::MethodFault::Exception& e) {
    *written = out.str();
    return Zamli::Wire::Describe(*e.GetFault());
  }
  *written = out.str();
  return "";
}

TEST(PelkctlCodec, XmlToJsonToXmlGivesTheOriginalDocument) {
  const auto& root = PelkTest::WorkloadRootType();
  auto summary = PelkTest::ValueFiller().Build(root);  // the whole workload tree
  const Codec xml(Encoding::kXml, Pelkctl::NewestVersion());
  const Codec json(Encoding::kJson, Pelkctl::NewestVersion());
  const std::string original = xml.EncodeValue(summary.Get(), root);

  const std::string asJson = Transcoded(original, root, "xml", "json");
  // What `decode` prints is the value's own JSON document, on one line.
  EXPECT_EQ(asJson, json.EncodeValue(summary.Get(), root) + "\n");
  EXPECT_TRUE(Zamli::AreEqual(json.DecodeValue(asJson, root).Get(), summary.Get()));

  const std::string back = Transcoded(asJson, root, "json", "xml");
  EXPECT_EQ(back, original + "\n");
}

TEST(PelkctlCodec, ArrayTypesByTrailingBrackets) {
  const auto& root = PelkTest::WorkloadRootType();
  EXPECT_EQ(Pelkctl::FindValueType("PelkClusterHealthSummary[]"), root.GetArrayType());
  EXPECT_EQ(Pelkctl::FindValueType("qor.cluster.PelkClusterHealthSummary[]"), root.GetArrayType());
  EXPECT_EQ(Pelkctl::FindValueType("qor.cluster.PelkClusterHealthSummary"), &root);
  EXPECT_EQ(Pelkctl::FindValueType("string[]"), Zamli::TypeRegistry::Instance().FindByName("string")->GetArrayType());
  EXPECT_EQ(Pelkctl::FindValueType("NoSuchType[]"), nullptr);
  EXPECT_EQ(Pelkctl::FindValueType("[]"), nullptr);

  // Two summaries, from JSON to XML and back.
  Haldun::Ref<Zamli::Any> array(root.GetDataTypeInfo()->createArray());
  for (int i = 0; i < 2; ++i) static_cast<Zamli::DataArrayBase*>(array.Get())->AppendAny(Summary().Get());
  const Zamli::Type& arrayType = *Pelkctl::FindValueType("PelkClusterHealthSummary[]");
  const Codec json(Encoding::kJson, Pelkctl::NewestVersion());
  const std::string original = json.EncodeValue(array.Get(), arrayType);
  const std::string asXml = Transcoded(original, arrayType, "json", "xml");
  EXPECT_NE(asXml.find("<ArrayOfPelkClusterHealthSummary"), std::string::npos) << asXml.substr(0, 200);
  EXPECT_EQ(Transcoded(asXml, arrayType, "xml", "json"), original + "\n");
}

TEST(PelkctlCodec, BadInputRaisesTheFaultAndWritesNothing) {
  struct Case {
    const char* document;
    const char* type;
    const char* from;
    const char* to;
    const char* faultStart;
  };
  for (const Case& c : {
           Case{"<int>x</int>", "int", "xml", "json", "kettar.fault.InvalidArgument"},
           Case{"{\"_typeName\":", "anyType", "json", "xml", "kettar.fault.InvalidArgument"},
           Case{"5", "int", "json", "yaml", "kettar.fault.InvalidArgument: no encoding named \"yaml\" (json, xml)"},
       }) {
    std::string written = "unset";
    std::string fault =
        FaultOf(c.document, *Pelkctl::FindValueType(c.type), c.from, c.to, Pelkctl::NewestVersion(), &written);
    EXPECT_EQ(fault.rfind(c.faultStart, 0), 0u) << fault;
    EXPECT_EQ(written, "") << c.document;
  }
}

TEST(PelkctlCodec, TheVersionGoesToBothCodecs) {
  const auto& root = PelkTest::WorkloadRootType();
  const Codec json(Encoding::kJson, Pelkctl::NewestVersion());
  // healthScore and other recent properties are set: an old version refuses them.
  const std::string recent = json.EncodeValue(Summary().Get(), root);
  std::string written;
  const Zamli::Version& old = Zamli::Wire::FindVersion("pelk.version.version11");
  std::string fault = FaultOf(recent, root, "json", "xml", old, &written);
  EXPECT_EQ(fault.rfind("kettar.fault.NotSupported", 0), 0u) << fault;

  // Written for the old version, the document goes through it unchanged.
  const Codec oldJson(Encoding::kJson, old);
  const std::string document = oldJson.EncodeValue(Summary().Get(), root);
  ASSERT_NE(document, recent);
  const std::string asXml = Transcoded(document, root, "json", "xml", old);
  EXPECT_EQ(Transcoded(asXml, root, "xml", "json", old), document + "\n");
}

TEST(PelkctlCodec, TheDefaultVersionIsTheNewest) {
  EXPECT_EQ(Pelkctl::NewestVersion().GetName(), "pelk.version.version25");
}

}  // namespace
