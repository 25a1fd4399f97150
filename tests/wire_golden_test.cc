// The documents themselves: a handful of values, calls, results and faults
// whose encodings are kept under golden/wire/, compared byte for byte, and
// read back to equal values. Run with PELK_WIRE_GOLDEN_WRITE=1 to write the
// files anew (then read them before keeping them).
#include <gtest/gtest.h>
#include <pelk/all.h>
#include <qor/all.h>
#include <wire_support.h>
#include <zamli/values/enum_value.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <tuple>

#ifndef PELK_WIRE_GOLDEN_DIR
#error "PELK_WIRE_GOLDEN_DIR names the folder of the golden documents"
#endif

namespace {

using Haldun::Ref;
using Zamli::Any;
using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

// A row of a health result: nested rows, an array of plain values, links of
// two classes derived from the declared one (one holding a reference and an
// array of objects), optional properties left unset, and markup in strings.
Ref<Any> HealthRow() {
  Ref<Qor::Cluster::PelkClusterHealthResultRow> row(new Qor::Cluster::PelkClusterHealthResultRow());
  row->GetValues()->Append("green");
  row->GetValues()->Append("a<b & \"c\" > 'd'");
  auto* nested = new Qor::Cluster::PelkClusterHealthResultRow();
  row->GetNestedRows()->Append(nested);
  nested->GetValues()->Append("nested");
  auto* external = new Qor::Cluster::PelkClusterHealthExternalLink();
  row->GetLinks()->Append(external);
  external->label = "Knowledge base";
  external->url = "https://kb.example/article?id=1&lang=en";
  auto* internal = new Qor::Cluster::PelkClusterHealthInternalLink();
  row->GetLinks()->Append(internal);
  internal->screen = "hosts";
  internal->contextObject = Ref<Zamli::MoRef>(new Zamli::MoRef("qor.HostSystem", "host-12"));
  auto* pair = new Qor::KeyValue();
  internal->GetMetadata()->Append(pair);
  pair->key = "filter";
  pair->value = "";
  return Ref<Any>(row.Get());
}

// Options whose values are of every kind anyType can hold.
Ref<Any> OptionsOfEveryKind() {
  using Haldun::System::DateTime;
  Ref<Zamli::DataArray<Qor::Option::OptionValue>> options(new Zamli::DataArray<Qor::Option::OptionValue>());
  auto add = [&](const char* key, Ref<Any> value) {
    auto* option = new Qor::Option::OptionValue();
    options->Append(option);
    option->key = key;
    option->value = std::move(value);
  };
  add("string", Zamli::Box(std::string("text")));
  add("boolean", Zamli::Box(true));
  add("int", Zamli::Box(-5));
  add("long", Zamli::Box(1L << 40));
  add("float", Zamli::Box(0.1f));
  add("infinity", Zamli::Box(-std::numeric_limits<float>::infinity()));
  add("dateTime", Zamli::Box(DateTime::ParseIso8601("2026-12-06T10:00:00.5+01:00")));
  add("binary", Zamli::Box(std::vector<unsigned char>{0xfb, 0xff, 0x00, 0x41}));
  add("strings", Ref<Any>(new Zamli::Array<std::string>({"a", "b"})));
  add("ints", Ref<Any>(new Zamli::Array<int>({1, 2})));
  add("longs", Ref<Any>(new Zamli::Array<long>({3L})));
  add("enumeration", Ref<Any>(new Zamli::Primitive<Dp::Ruv::MigrationType>(
                         Zamli::EnumFromTag<Dp::Ruv::MigrationType>("coldMigration"))));
  auto* types = new Zamli::Array<Dp::Ruv::SnapshotType>();
  add("enumerations", Ref<Any>(types));
  types->Append(static_cast<Dp::Ruv::SnapshotType>(0));
  types->Append(static_cast<Dp::Ruv::SnapshotType>(1));
  add("reference", Ref<Any>(new Zamli::MoRef("qor.ClusterComputeResource", "domain-c8")));
  auto* refs = new Zamli::DataArray<Zamli::MoRef>();
  add("references", Ref<Any>(refs));
  refs->Append(Ref<Zamli::MoRef>(new Zamli::MoRef("qor.HostSystem", "host-1")));
  auto* pair = new Qor::KeyValue();
  add("object", Ref<Any>(pair));
  pair->key = "k";
  pair->value = "v";
  auto* pairs = new Zamli::DataArray<Qor::KeyValue>();
  add("objects", Ref<Any>(pairs));
  pairs->Append(Ref<Qor::KeyValue>(static_cast<Qor::KeyValue*>(pair->_Clone())));
  auto* mixed = new Zamli::DynamicArray();
  add("mixed", Ref<Any>(mixed));
  mixed->AppendAny(Zamli::Box(7).Get());
  mixed->AppendAny(Zamli::Box(std::string("seven")).Get());
  return Ref<Any>(options.Get());
}

// Two disk health summaries: one with little set, one holding a fault of a
// class derived from the declared one.
Ref<Any> DiskSummaries() {
  Ref<Zamli::DataArray<Qor::Host::PelkPhysicalDiskHealthSummary>> summaries(
      new Zamli::DataArray<Qor::Host::PelkPhysicalDiskHealthSummary>());
  auto* first = new Qor::Host::PelkPhysicalDiskHealthSummary();
  summaries->Append(first);
  first->overallHealth = "green";
  first->hostname = "host-1";
  auto* second = new Qor::Host::PelkPhysicalDiskHealthSummary();
  summaries->Append(second);
  second->overallHealth = "red";
  second->hostDedupScope = 2;
  auto* error = new Zamli::Fault::InvalidArgument();
  second->error = Ref<Zamli::MethodFault>(error);
  error->invalidProperty = "disks[0].uuid";
  return Ref<Any>(summaries.Get());
}

Ref<Dp::Ruv::Fault::WexdServiceDown> ServiceDown() {
  Ref<Dp::Ruv::Fault::WexdServiceDown> fault(new Dp::Ruv::Fault::WexdServiceDown());
  fault->hostname = "host-9";
  auto* message = new Zamli::LocalizableMessage();
  fault->GetFaultMessage()->Append(message);
  message->key = "dp.wexd.down";
  message->message = "The service on host-9 is down.";
  auto* arg = new Zamli::KeyAnyValue();
  message->GetArg()->Append(arg);
  arg->key = "host";
  arg->value = Zamli::Box(std::string("host-9"));
  return fault;
}

using WireTest::HealthSystem;
using WireTest::Reboot;
using WireTest::RebootArgs;
using WireTest::UpdateOptions;

const Zamli::ManagedMethod& DiskQuery() {
  return WireTest::MethodOf("qor.cluster.PelkZovClusterHealthSystem", "queryPhysicalDiskHealthSummary");
}
Ref<Zamli::MoRef> Protection() { return Ref<Zamli::MoRef>(new Zamli::MoRef("dp.ruv.ProtectionService", "dps")); }

void ExpectEqualValues(const Any* expected, const Any* actual, const std::string& what) {
  EXPECT_TRUE(Zamli::AreEqual(expected, actual))
      << what << ": " << WireTest::Differences(expected, actual)
      << "\nexpected: " << (expected ? expected->ToString().substr(0, 1500) : "null")
      << "\nactual: " << (actual ? actual->ToString().substr(0, 1500) : "null");
  if (expected != nullptr && actual != nullptr) {
    EXPECT_EQ(actual->_GetType(), expected->_GetType()) << what;
  }
}

Ref<Any> RebootCall() { return WireTest::AsCall(Reboot(), *HealthSystem(), RebootArgs()); }
Ref<Any> OptionsCall() { return WireTest::AsCall(UpdateOptions(), *Protection(), {OptionsOfEveryKind()}); }

void ExpectRebootRequest(const Zamli::Wire::Request& request, const std::string& what) {
  ExpectEqualValues(RebootCall().Get(), WireTest::AsCall(request).Get(), what);
}

// One golden document: how it is made, how it is read, and what reading it
// must give.
struct Golden {
  const char* name;
  std::function<std::string(const Codec&)> encode;
  std::function<Ref<Any>(const Codec&, const std::string&)> read;
  std::function<Ref<Any>()> expected;
};

// A value on its own, decoded as the declared type.
Golden ValueCase(const char* name, std::function<Ref<Any>()> make, std::function<const Zamli::Type&()> declared) {
  return {name, [=](const Codec& c) { return c.EncodeValue(make().Get(), declared()); },
          [=](const Codec& c, const std::string& document) { return c.DecodeValue(document, declared()); }, make};
}

std::vector<Golden> Goldens() {
  using Decoded = Ref<Any>;
  const auto rowType = []() -> const Zamli::Type& {
    return *Zamli::GetDoType<Qor::Cluster::PelkClusterHealthResultRow>();
  };
  const auto readRequest = [](const Codec& c, const std::string& d) { return WireTest::AsCall(c.DecodeRequest(d)); };
  return {
      ValueCase("health_row", HealthRow, rowType),
      ValueCase("options_of_every_kind", OptionsOfEveryKind,
                []() -> const Zamli::Type& { return *Zamli::GetDoType<Qor::Option::OptionValue>()->GetArrayType(); }),
      ValueCase(
          "no_value", [] { return Ref<Any>(); }, rowType),
      {"request", [](const Codec& c) { return c.EncodeRequest(*HealthSystem(), Reboot(), RebootArgs()); }, readRequest,
       RebootCall},
      {"request_with_options",
       [](const Codec& c) { return c.EncodeRequest(*Protection(), UpdateOptions(), {OptionsOfEveryKind()}); },
       readRequest, OptionsCall},
      {"response", [](const Codec& c) { return c.EncodeResponse(DiskQuery(), DiskSummaries().Get()); },
       [](const Codec& c, const std::string& d) { return c.DecodeResponse(d, DiskQuery()); }, DiskSummaries},
      {"response_without_result", [](const Codec& c) { return c.EncodeResponse(UpdateOptions(), nullptr); },
       [](const Codec& c, const std::string& d) { return c.DecodeResponse(d, UpdateOptions()); },
       [] { return Ref<Any>(); }},
      {"fault", [](const Codec& c) { return c.EncodeFault(*ServiceDown()); },
       [](const Codec& c, const std::string& d) {
         EXPECT_THROW(c.DecodeResponse(d, Reboot()), Dp::Ruv::Fault::WexdServiceDown::Exception) << "as a result";
         return Decoded(c.DecodeFault(d).Get());
       },
       [] { return Decoded(ServiceDown().Get()); }},
  };
}

std::string PathOf(const Golden& g, Encoding e) {
  return std::string(PELK_WIRE_GOLDEN_DIR) + "/" + g.name + (e == Encoding::kXml ? ".xml" : ".json");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One kept document: which, and in which encoding.
class WireGolden : public ::testing::TestWithParam<std::tuple<size_t, Encoding>> {};

TEST_P(WireGolden, TheEncoderWritesTheKeptDocumentAndReadsItBack) {
  const auto [index, encoding] = GetParam();
  const Golden g = Goldens().at(index);
  const Codec codec(encoding, WireTest::Newest());
  const std::string path = PathOf(g, encoding);
  const std::string document = g.encode(codec);
  if (std::getenv("PELK_WIRE_GOLDEN_WRITE") != nullptr) {
    std::ofstream(path, std::ios::binary) << document;
    GTEST_SKIP() << "wrote " << path;
  }
  const std::string kept = ReadFile(path);
  ASSERT_FALSE(kept.empty()) << "no document at " << path;
  EXPECT_EQ(document, kept) << g.name;
  ExpectEqualValues(g.expected().Get(), g.read(codec, kept).Get(), g.name);
}

INSTANTIATE_TEST_SUITE_P(Documents, WireGolden,
                         ::testing::Combine(::testing::Range(size_t{0}, Goldens().size()),
                                            ::testing::Values(Encoding::kXml, Encoding::kJson)),
                         [](const ::testing::TestParamInfo<std::tuple<size_t, Encoding>>& info) {
                           return std::string(Goldens().at(std::get<0>(info.param)).name) + "_" +
                                  WireTest::NameOf(std::get<1>(info.param));
                         });

// The same documents written by another writer: other prefixes, blanks and
// line breaks between elements, attributes the reader ignores, base64 broken
// over lines, members in another order. They read as the same values.
TEST(WireGoldenReading, TheRequestAsTheFolderReadmeShowsIt) {
  const Codec xml(Encoding::kXml, WireTest::Newest());
  const Codec json(Encoding::kJson, WireTest::Newest());
  const char* readmeXml = R"(<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/"
                  xmlns:xsd="http://www.w3.org/2001/XMLSchema"
                  xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<soapenv:Body>
<PrepareClusterRebootWithNAMM xmlns="urn:pelk">
<_this type="PelkZovClusterHealthSystem">health-1</_this>
<cluster type="ClusterComputeResource">domain-c8</cluster>
<scheduleTime>300</scheduleTime>
</PrepareClusterRebootWithNAMM>
</soapenv:Body>
</soapenv:Envelope>)";
  const char* readmeJson = R"({"_method":"PrepareClusterRebootWithNAMM",
 "_this":{"_typeName":"ManagedObjectReference","type":"PelkZovClusterHealthSystem","value":"health-1"},
 "cluster":{"_typeName":"ManagedObjectReference","type":"ClusterComputeResource","value":"domain-c8"},
 "scheduleTime":300})";
  ExpectRebootRequest(xml.DecodeRequest(readmeXml), "xml");
  ExpectRebootRequest(json.DecodeRequest(readmeJson), "json");
  // And what the encoder writes is that, but for the XML declaration and the
  // line breaks: between elements they go, between attributes they are one blank.
  auto squeeze = [](const std::string& text) {
    std::string out = std::regex_replace(text, std::regex("^<\\?xml[^>]*\\?>\n?"), "");
    out = std::regex_replace(out, std::regex("[ ]*\n[ ]*"), "\n");
    out = std::regex_replace(out, std::regex(">\n<"), "><");
    out = std::regex_replace(out, std::regex(",\n"), ",");
    return std::regex_replace(out, std::regex("\n"), " ");
  };
  EXPECT_EQ(squeeze(xml.EncodeRequest(*HealthSystem(), Reboot(), RebootArgs())), squeeze(readmeXml));
  EXPECT_EQ(squeeze(json.EncodeRequest(*HealthSystem(), Reboot(), RebootArgs())), squeeze(readmeJson));
}

TEST(WireGoldenReading, OtherPrefixesBlanksAndIgnoredAttributes) {
  const Codec xml(Encoding::kXml, WireTest::Newest());
  const char* document = R"(<?xml version="1.0" encoding="UTF-8"?>
<S:Envelope xmlns:S="http://schemas.xmlsoap.org/soap/envelope/" xmlns:i="http://www.w3.org/2001/XMLSchema-instance">
  <S:Body>
    <p:PrepareClusterRebootWithNAMM xmlns:p="urn:pelk" p:extra="ignored">
      <!-- the target -->
      <p:_this type="PelkZovClusterHealthSystem" other="x">health-1</p:_this>
      <p:cluster type="ClusterComputeResource">domain-c8</p:cluster>
      <p:scheduleTime>300</p:scheduleTime>
    </p:PrepareClusterRebootWithNAMM>
  </S:Body>
</S:Envelope>
)";
  ExpectRebootRequest(xml.DecodeRequest(document), "prefixed");
  // Base64 may be broken over lines in XML.
  const Zamli::Type& binaryType = *Zamli::GetNoType<std::vector<unsigned char>>();
  const Ref<Any> bytes = Zamli::Box(std::vector<unsigned char>{0xfb, 0xff, 0x00, 0x41});
  std::string wrapped = xml.EncodeValue(bytes.Get(), binaryType);
  ASSERT_NE(wrapped.find(">+/8AQQ==<"), std::string::npos) << wrapped;
  wrapped.replace(wrapped.find("+/8AQQ=="), 8, "\n  +/8A\n  QQ==\n");
  ExpectEqualValues(bytes.Get(), xml.DecodeValue(wrapped, binaryType).Get(), "base64 over lines");
  // Character references and the predefined entities are read.
  const Zamli::Type& stringType = *Zamli::GetNoType<std::string>();
  std::string text = xml.EncodeValue(Zamli::Box(std::string("X")).Get(), stringType);
  ASSERT_NE(text.find(">X<"), std::string::npos) << text;
  text.replace(text.find(">X<"), 3, ">&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#xe9;<");
  ExpectEqualValues(Zamli::Box(std::string("<&>\"'AB\xc3\xa9")).Get(), xml.DecodeValue(text, stringType).Get(),
                    "references");
}

TEST(WireGoldenReading, JsonMembersInAnotherOrderWithBlanks) {
  const Codec json(Encoding::kJson, WireTest::Newest());
  Ref<Any> link = json.DecodeValue(
      "  {\n  \"url\" : \"u\",\n  \"_typeName\" : \"PelkClusterHealthLink\",\n  \"label\" : \"l\"\n}\n",
      *Zamli::GetDoType<Qor::Cluster::PelkClusterHealthLinkBase>());
  Ref<Qor::Cluster::PelkClusterHealthExternalLink> expected(new Qor::Cluster::PelkClusterHealthExternalLink());
  expected->url = "u";
  expected->label = "l";
  ExpectEqualValues(expected.Get(), link.Get(), "members in another order");
  ExpectRebootRequest(
      json.DecodeRequest(R"({"scheduleTime": 300, "cluster": {"value": "domain-c8", "type": "ClusterComputeResource",
         "_typeName": "ManagedObjectReference"}, "_this": {"_typeName": "ManagedObjectReference",
         "type": "PelkZovClusterHealthSystem", "value": "health-1"}, "_method": "PrepareClusterRebootWithNAMM"})"),
      "request members in another order");
}

}  // namespace
