// Bad input, one class at a time: each is refused with the fault its class
// calls for, naming the path of the bad value, in both encodings where the
// class applies. Documents are spoiled from what the encoder writes, so the
// cases follow the documents rather than restate them.
#include <gtest/gtest.h>
#include <pelk/all.h>
#include <qor/all.h>
#include <wire_support.h>
#include <zamli/values/compare.h>
#include <zamli/values/enum_value.h>
#include <zamli/wire/format.h>
#include <zamli/wire/json/json_fast_path.h>
#include <zamli/wire/xml/xml_fast_path.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <regex>
#include <string_view>

namespace {

using Haldun::Ref;
using WireTest::Explain;
using Zamli::Any;
using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

// ---------------------------------------------------------------------------
// Values to spoil.

// A value read from its JSON text: shorter than building it, and the suite
// spoils what the encoder writes of it anyway.
template <class T>
Ref<Any> FromJson(const char* text) {
  return Codec(Encoding::kJson, WireTest::Newest()).DecodeValue(text, *Zamli::GetDoType<T>());
}

Ref<Any> RebalanceInfo() {
  return FromJson<Qor::Host::PelkProactiveRebalanceInfoEx>(
      R"({"running":true,"startTs":"2026-12-06T10:00:00Z","varianceThreshold":0.5,"timeThreshold":7,)"
      R"("hostname":"host-1"})");
}

Ref<Any> Compliance() {
  return FromJson<Qor::Cluster::StorageComplianceResult>(
      R"({"complianceStatus":"compliant","mismatch":false,"violatedPolicies":[{"id":"first"},{"id":"second"}],)"
      R"("operationalStatus":{"operationProgress":5}})");
}

Ref<Any> HealthRow() {
  return FromJson<Qor::Cluster::PelkClusterHealthResultRow>(
      R"({"values":[],"links":[{"_typeName":"PelkClusterHealthLink","url":"u"},)"
      R"({"_typeName":"PelkClusterHealthInternalLink","screen":"hosts"}]})");
}

Ref<Any> Pair() { return FromJson<Qor::KeyValue>(R"({"key":"k","value":"v"})"); }

Ref<Any> Record() { return FromJson<Qor::Pelk::SnapstoreRecord>(R"({"key":"k","value":"AQID"})"); }

Ref<Any> Option(Ref<Any> value) {
  Ref<Qor::Option::OptionValue> option(new Qor::Option::OptionValue());
  option->key = "k";
  option->value = std::move(value);
  return Ref<Any>(option.Get());
}

// A row whose nested rows go `depth` levels down.
Ref<Any> DeepRow(int depth) {
  Ref<Qor::Cluster::PelkClusterHealthResultRow> root(new Qor::Cluster::PelkClusterHealthResultRow());
  Qor::Cluster::PelkClusterHealthResultRow* at = root.Get();
  for (int i = 0; i < depth; ++i) {
    auto* next = new Qor::Cluster::PelkClusterHealthResultRow();
    at->GetNestedRows()->Append(next);
    at = next;
  }
  at->GetValues()->Append("bottom");
  return Ref<Any>(root.Get());
}

using WireTest::Reboot;
using WireTest::UpdateOptions;

std::string RebootRequest(const Codec& c) {
  return c.EncodeRequest(*WireTest::HealthSystem(), Reboot(), WireTest::RebootArgs());
}

std::string UploadRequest(const Codec& c) {
  return c.EncodeRequest(*WireTest::HealthSystem(), WireTest::Upload(), {Zamli::Box(std::string("hcl"))});
}

std::string OptionsRequest(const Codec& c) {
  Ref<Zamli::MoRef> target(new Zamli::MoRef("dp.ruv.ProtectionService", "dps"));
  Ref<Zamli::DataArray<Qor::Option::OptionValue>> options(new Zamli::DataArray<Qor::Option::OptionValue>());
  options->AppendAny(Option(Zamli::Box(1)).Get());
  options->AppendAny(Option(Zamli::Box(2)).Get());
  return c.EncodeRequest(*target, UpdateOptions(), {Ref<Any>(options.Get())});
}

template <class T>
const Zamli::Type& DataType() {
  return *Zamli::GetDoType<T>();
}
const Zamli::Type& InfoType() { return DataType<Qor::Host::PelkProactiveRebalanceInfoEx>(); }
const Zamli::Type& RowType() { return DataType<Qor::Cluster::PelkClusterHealthResultRow>(); }
const Zamli::Type& PairType() { return DataType<Qor::KeyValue>(); }
const Zamli::Type& OptionType() { return DataType<Qor::Option::OptionValue>(); }
const Zamli::Type& Ints() { return *Zamli::GetNoType<int>()->GetArrayType(); }

// ---------------------------------------------------------------------------
// The cases.

// The path a fault names: the property of an invalid argument, the argument
// of an invalid type.
std::string PathOf(const Zamli::Fault::InvalidArgument& f) { return f.invalidProperty.ValueOr("(unset)"); }
std::string PathOf(const Zamli::Fault::InvalidType& f) { return f.argument.ValueOr("(unset)"); }

// Checks that `read` raises F, naming `path` (null: not checked) and saying
// why; answers false when it raised none or another.
template <class F>
bool RaisedAt(const char* path, const std::function<void()>& read, const std::string& what) {
  auto f = WireTest::Raised<F>(read, what);
  if (f == nullptr) return false;
  if (path != nullptr) {
    EXPECT_EQ(PathOf(*f), path) << what;
  }
  EXPECT_NE(f->faultMessage, nullptr) << what << " says nothing";
  return true;
}
using Expect = bool (*)(const char*, const std::function<void()>&, const std::string&);
constexpr Expect kType = &RaisedAt<Zamli::Fault::InvalidType>;

// A valid document the encoder writes, and how it is read.
struct Subject {
  std::function<std::string(const Codec&)> write;
  std::function<void(const Codec&, const std::string&)> read;
};

template <class T>
Subject ValueOf(std::function<Ref<Any>()> make) {
  return {[=](const Codec& c) { return c.EncodeValue(make().Get(), DataType<T>()); },
          [](const Codec& c, const std::string& d) { c.DecodeValue(d, DataType<T>()); }};
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// The change that spoils a document in each encoding: the first match of
// `from` (a regular expression) becomes `to`; an empty `from` when the class
// does not apply to that encoding.
struct Spoil {
  std::string xmlFrom, xmlTo, jsonFrom, jsonTo;
};
Spoil Both(const std::string& from, const std::string& to) { return {from, to, from, to}; }
Spoil Xml(const std::string& from, const std::string& to) { return {from, to, "", ""}; }
Spoil Json(const std::string& from, const std::string& to) { return {"", "", from, to}; }
// Text content: >from< in XML, "from" in JSON.
Spoil Text(const std::string& from, const std::string& to) {
  return {">" + from + "<", ">" + to + "<", "\"" + from + "\"", "\"" + to + "\""};
}
// A property's value, given as JSON writes it (XML writes a string unquoted).
Spoil Set(const std::string& property, const std::string& from, const std::string& to) {
  const auto text = [](const std::string& json) {
    return json.size() > 1 && json.front() == '"' && json.back() == '"' ? json.substr(1, json.size() - 2) : json;
  };
  return {"<" + property + ">" + text(from) + "<", "<" + property + ">" + text(to) + "<",
          "\"" + property + "\":" + from, "\"" + property + "\":" + to};
}
// Something put before a property.
Spoil Before(const std::string& property, const std::string& xml, const std::string& json) {
  return {"<" + property + ">", xml + "<" + property + ">", "\"" + property + "\":", json + "\"" + property + "\":"};
}
// A string property left out.
Spoil Drop(const std::string& property) {
  return {"<" + property + ">[^<]*</" + property + ">", "", ",\"" + property + "\":\"[^\"]*\"", ""};
}
// A document type declaration before the root, the value the entity e.
Spoil Doctype(const std::string& internalSubset) {
  return Xml("(<KeyValue[\\s\\S]*)>v<", "<!DOCTYPE KeyValue [" + internalSubset + "]>$1>&e;<");
}
Spoil Time(const std::string& to) { return Set("timeThreshold", "7", to); }
Spoil Variance(const std::string& to) { return Set("varianceThreshold", "0.5", to); }
Spoil Progress(const std::string& to) { return Set("operationProgress", "5", to); }
Spoil Start(const std::string& to) { return Both("2026-12-06T10:00:00Z", to); }

struct BadInput {
  const char* name;
  Subject subject;
  Spoil spoil;
  const char* path;  // null: not checked
  Expect expect = &RaisedAt<Zamli::Fault::InvalidArgument>;
};

// The cases by class of hostile input.
const std::map<std::string, std::vector<BadInput>>& BadInputs() {
  using Info = Qor::Host::PelkProactiveRebalanceInfoEx;
  using Result = Qor::Cluster::StorageComplianceResult;
  using OptionValue = Qor::Option::OptionValue;
  const auto info = ValueOf<Info>(RebalanceInfo);
  const auto compliance = ValueOf<Result>(Compliance);
  const auto row = ValueOf<Qor::Cluster::PelkClusterHealthResultRow>(HealthRow);
  const auto pair = ValueOf<Qor::KeyValue>(Pair);
  const auto record = ValueOf<Qor::Pelk::SnapstoreRecord>(Record);
  const auto option = ValueOf<OptionValue>([] { return Option(Zamli::Box(5)); });
  const auto enumeration = ValueOf<OptionValue>([] {
    return Option(Ref<Any>(
        new Zamli::Primitive<Dp::Ruv::MigrationType>(Zamli::EnumFromTag<Dp::Ruv::MigrationType>("coldMigration"))));
  });
  const auto readRequest = [](const Codec& c, const std::string& d) { c.DecodeRequest(d); };
  const Subject reboot{RebootRequest, readRequest}, upload{UploadRequest, readRequest};
  const Subject options{OptionsRequest, readRequest};
  const Subject ints{[](const Codec& c) {
                       return c.EncodeValue(Ref<Any>(new Zamli::Array<int>({1, 2})).Get(), Ints());
                     },
                     [](const Codec& c, const std::string& d) { c.DecodeValue(d, Ints()); }};
  const Subject response{[](const Codec& c) { return c.EncodeResponse(Reboot(), Zamli::Box(true).Get()); },
                         [](const Codec& c, const std::string& d) { c.DecodeResponse(d, Reboot()); }};
  const Subject fault{[](const Codec& c) {
                        return c.EncodeFault(*Ref<Zamli::Fault::InvalidArgument>(new Zamli::Fault::InvalidArgument()));
                      },
                      [](const Codec& c, const std::string& d) { c.DecodeFault(d); }};
  const std::string zeros(400, '0');
  const std::string otherTarget = "<_this type=\"PelkZovClusterHealthSystem\">other</_this>";
  const std::string xsiInt = "xsi:type=\"xsd:int\"";
  std::string laughs = "<!ENTITY l0 \"EXPANDED\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"" + Repeat("&l" + std::to_string(i - 1) + ";", 10) + "\">";
  }
  laughs += "<!ENTITY e \"&l9;\">";
  static const std::map<std::string, std::vector<BadInput>> table = {
      {"UnknownElementsAndMembers",
       {{"unknown property", info, Before("hostname", "<bogus>1</bogus>", "\"bogus\":1,"), "bogus"},
        {"unknown property in an array element",
         compliance,
         {"<id>second</id>", "<id>second</id><bogus/>", "\"id\":\"second\"", "\"id\":\"second\",\"bogus\":null"},
         "violatedPolicies[1].bogus"},
        {"unknown parameter", reboot, Before("scheduleTime", "<bogus>1</bogus>", "\"bogus\":1,"), "bogus"},
        // Items are named by their type, with nothing between them.
        {"item of another type", ints, Xml("<int>2</int>", "<long>2</long>"), nullptr},
        {"text between items", ints, Xml("</int><int>", "</int>stray<int>"), nullptr},
        {"text between members", pair, Xml("<value>", "stray<value>"), nullptr}}},
      {"UnknownTypeNamesAndClassesThatDoNotFit",
       {{"unknown type name",
         option,
         {"\"xsd:int\"", "\"NoSuchType\"", "\"_typeName\":\"int\"", "\"_typeName\":\"NoSuchType\""},
         "value",
         kType},
        {"unknown type name in a parameter",
         options,
         {"\"xsd:int\">2<", "\"NoSuchType\">2<", "\"_typeName\":\"int\",\"_value\":2",
          "\"_typeName\":\"NoSuchType\",\"_value\":2"},
         "optionValues[1].value",
         kType},
        {"class unrelated to the declared one", row, Both("\"PelkClusterHealthLink\"", "\"KeyValue\""), "links[0]",
         kType},
        {"fault class where a data class is declared", row, Both("\"PelkClusterHealthLink\"", "\"InvalidArgument\""),
         "links[0]", kType},
        {"unknown target type", reboot, Both("\"(qor\\.cluster\\.)?PelkZovClusterHealthSystem\"", "\"NoSuchType\""),
         "_this", kType}}},
      {"ValuesOfTheWrongKind",
       {{"text for an int", info, Time("\"x\""), "timeThreshold"},
        {"fraction for an int", info, Time("7.5"), "timeThreshold"},
        {"int with a leading zero", info, Json("\"timeThreshold\":7", "\"timeThreshold\":07"), nullptr},
        {"text for a boolean", info, Set("running", "true", "\"yes\""), "running"},
        {"text for a parameter's int", reboot, Set("scheduleTime", "300", "\"x\""), "scheduleTime"},
        {"object for a string", pair, Json("\"value\":\"v\"", "\"value\":{}"), "value"},
        {"array for a single value", pair, Json("\"value\":\"v\"", "\"value\":[\"v\"]"), "value"}}},
      {"MissingRequiredValues",
       {{"missing required property", pair, Drop("value"), "value"},
        {"missing required property in an array element", row, Drop("screen"), "links[1].screen"},
        {"required property given as nil", pair, Xml("<value>v</value>", "<value xsi:nil=\"true\"/>"), "value"},
        {"missing required parameter", upload, Drop("db"), "db"}}},
      {"NumbersOutOfRange",
       {{"int overflow", info, Time("2147483648"), "timeThreshold"},
        {"int underflow", info, Time("-2147483649"), "timeThreshold"},
        {"long overflow", compliance, Progress("9223372036854775808"), "operationalStatus.operationProgress"},
        {"long far out", compliance, Progress("99999999999999999999999"), "operationalStatus.operationProgress"},
        {"float overflow", info, Variance("3.5e38"), "varianceThreshold"},
        {"float far out", info, Variance("1e400"), "varianceThreshold"}}},
      {"BadBase64",
       {{"base64 with a stray character", record, Text("AQID", "AQ@D"), "value"},
        {"base64 of a bad length", record, Text("AQID", "AQIDB"), "value"},
        {"base64 padding inside", record, Text("AQID", "AQ==AQID"), "value"}}},
      // The parser's own refusals are Haldun's (haldun_test); one of them here.
      {"BadDateTimes",
       {{"month 13", info, Start("2026-13-06T10:00:00Z"), "startTs"},
        {"no zone", info, Both("10:00:00Z", "10:00:00"), "startTs"},
        {"no zone after a fraction", info, Both("10:00:00Z", "10:00:00.5"), "startTs"},
        {"a number for a date-time", info, Json("\"2026-12-06T10:00:00Z\"", "1796551200"), "startTs"}}},
      {"UnknownEnumerationTags",
       {{"unknown enumeration tag", enumeration, Text("coldMigration", "lukewarmMigration"), "value"}}},
      {"StringsThatAreNotValidText",
       {{"invalid UTF-8", pair, Text("v", "\xff"), "value"},
        {"truncated UTF-8", pair, Text("v", "\xe2\x82"), "value"},
        {"overlong UTF-8", pair, Text("v", "\xc0\xaf"), "value"},
        {"encoded surrogate", pair, Text("v", "\xed\xa0\x80"), "value"},
        {"invalid UTF-8 after plain words", pair, Text("v", "sixteen plain by\xe2\x82 and more"), "value"},
        {"lone surrogate", pair, Json("\"v\"", "\"\\ud800\""), "value"},
        {"lone low surrogate", pair, Json("\"v\"", "\"a\\udc00b\""), "value"},
        {"surrogate in a member name", pair, Json("\"value\"", "\"\\udfff\""), nullptr},
        {"raw control character in JSON", pair, Json("\"v\"", "\"a\x02\""), "value"},
        {"character reference to U+0000", pair, Xml(">v<", ">a&#0;b<"), "value"},
        {"control character", pair, Xml(">v<", ">a&#x1;b<"), "value"},
        {"raw control character", pair, Xml(">v<", ">a\x02\x02<"), "value"},
        {"raw control character after plain words", pair, Xml(">v<", ">sixteen plain by\x02<"), "value"},
        {"a reference with no end", pair, Xml(">v<", ">a&amp b<"), nullptr}}},
      {"DuplicateMembersAndElements",
       {{"single value given twice", info,
         Xml("<hostname>host-1</hostname>", "<hostname>host-1</hostname><hostname>host-2</hostname>"), "hostname"},
        {"duplicate member", pair, Json("\"value\":\"v\"", "\"value\":\"v\",\"value\":\"w\""), "value"},
        {"duplicate member spelt with an escape", pair,
         Json("\"value\":\"v\"", "\"value\":\"v\",\"valu\\u0065\":\"w\""), "value"},
        {"duplicate member further down", compliance, Json("\"id\":\"second\"", "\"id\":\"second\",\"id\":\"third\""),
         "violatedPolicies[1].id"},
        {"duplicate parameter", reboot, Json("\"scheduleTime\":300", "\"scheduleTime\":300,\"scheduleTime\":1"),
         "scheduleTime"}}},
      // Numbers of any length: refused when out of range, never a crash.
      {"NumbersOfAnyLengthNeverCrash",
       {{"int with a long fraction", info, Time("7." + zeros + "1"), "timeThreshold"},
        {"long with many digits", compliance, Progress("5" + zeros), "operationalStatus.operationProgress"},
        {"float with many digits", info, Variance("1" + zeros), "varianceThreshold"},
        {"float with a huge exponent", info, Variance("0.5e99999999999999999999"), "varianceThreshold"},
        {"float with too many digits for JSON before a small exponent", info,
         Json("\"varianceThreshold\":0.5", "\"varianceThreshold\":1" + zeros + "e-400"), "varianceThreshold"},
        {"parameter with a long fraction", reboot, Set("scheduleTime", "300", "300." + zeros + "1"), "scheduleTime"},
        {"result with a long fraction", response, Set("returnval", "true", "0." + zeros + "1"), "returnval"}}},
      // Ambiguous documents: refused, never resolved by position.
      {"AmbiguousDocuments",
       {{"type name given twice", option, Json("\"_typeName\":\"int\"", "\"_typeName\":\"int\",\"_typeName\":\"long\""),
         "value"},
        {"boxed value given twice", option, Json("\"_value\":5", "\"_value\":5,\"_value\":6"), "value"},
        {"a member after the boxed value", option, Json("\"_value\":5", "\"_value\":5,\"x\":6"), "value"},
        {"members without a comma", pair, Json(",\"value\"", " \"value\""), nullptr},
        {"a comma before the end", pair, Json("\\}$", ",}"), nullptr},
        {"method given twice", reboot, Json("\"_method\":", "\"_method\":\"Destroy\",\"_method\":"), "_method"},
        {"target given twice",
         reboot,
         {"<cluster ", otherTarget + "<cluster ", ",\"cluster\":",
          ",\"_this\":{\"_typeName\":\"ManagedObjectReference\",\"type\":\"PelkZovClusterHealthSystem\",\"value\":"
          "\"x\"},\"cluster\":"},
         "_this"},
        {"unknown member that starts with _", reboot, Before("scheduleTime", "<_method>x</_method>", "\"_bogus\":1,"),
         nullptr},
        {"fault member given twice", fault, Json("\"fault\":", "\"fault\":{},\"fault\":"), "fault"},
        {"more than a fault in a fault document", fault, Json("\"faultstring\":", "\"_x\":1,\"faultstring\":"), "_x"},
        {"a result and a fault",
         response,
         {"</soapenv:Body>", "<soapenv:Fault/></soapenv:Body>", "\\}$",
          ",\"fault\":{\"_typeName\":\"InvalidArgument\"}}"},
         nullptr},
        {"a NUL byte after the value", pair, Json("\\}$", std::string("}\0{}", 4)), nullptr},
        {"a second value", pair, Json("\\}$", "}{}"), nullptr},
        {"text before the root", pair, Xml("<KeyValue", "x<KeyValue"), nullptr},
        {"text after the root", pair, Xml("</KeyValue>", "</KeyValue>x"), nullptr},
        {"a second root", pair, Xml("</KeyValue>", "</KeyValue><KeyValue/>"), nullptr},
        {"CDATA after the root", pair, Xml("</KeyValue>", "</KeyValue><![CDATA[ ]]>"), nullptr},
        {"a declaration after the start", pair, Xml("<KeyValue", "<?xml version=\"1.0\"?><KeyValue"), nullptr},
        {"a UTF-16 byte-order mark", pair, Xml("^", "\xff\xfe"), nullptr},
        {"another encoding declared", pair, Xml("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\""), nullptr},
        {"a UTF-8 byte-order mark, UTF-16 declared", pair,
         Xml("^<\\?xml version=\"1.0\" encoding=\"UTF-8\"", "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-16\""),
         nullptr},
        {"an attribute given twice", pair, Xml("<KeyValue ", "<KeyValue a=\"1\" a=\"2\" "), nullptr},
        {"an attribute given twice inside", pair, Xml("<value>", "<value a=\"1\" a=\"2\">"), nullptr},
        {"an end tag that does not match", pair, Xml("</key>", "</kex>"), nullptr},
        {"an end tag with a prefix its start tag lacks", pair, Xml("</key>", "</p:key>"), nullptr},
        {"nil with an undeclared prefix", pair, Xml("<value>", "<value q:nil=\"true\">"), nullptr},
        {"xsi declared only on an element that has ended", option,
         Xml(" xmlns:xsi=\"[^\"]*\"([\\s\\S]*)<key>",
             "$1<key xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"),
         nullptr},
        {"two xsi:type", option, Xml(xsiInt, xsiInt + " xsi:type=\"xsd:long\""), nullptr},
        {"two xsi:type by namespace", option,
         Xml(xsiInt, xsiInt + " i:type=\"xsd:long\" xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\""), nullptr},
        {"xsi:type with xsi bound elsewhere", option, Xml(xsiInt, xsiInt + " xmlns:xsi=\"urn:other\""), "value", kType},
        {"type with an undeclared prefix", option, Xml("xsi:type=", "q:type="), nullptr},
        {"a second call", reboot, Xml("</soapenv:Body>", "<Destroy/></soapenv:Body>"), nullptr},
        {"more than a header and a body", reboot, Xml("</soapenv:Body>", "</soapenv:Body><Extra/>"), nullptr},
        {"a header entry that must be understood", reboot,
         Xml("<soapenv:Body>",
             "<soapenv:Header><x:Auth xmlns:x=\"urn:x\" soapenv:mustUnderstand=\"1\"/></soapenv:Header><soapenv:Body>"),
         nullptr}}},
      // A document type declaration, which could read a file or expand
      // entities without end: refused, whatever it declares.
      {"DocumentTypeDeclarations",
       {{"an external entity", pair, Doctype("<!ENTITY e SYSTEM \"file:///etc/passwd\">"), nullptr},
        {"an external entity by path", pair, Doctype("<!ENTITY e SYSTEM \"/etc/passwd\">"), nullptr},
        {"a parameter entity", pair, Doctype("<!ENTITY % p SYSTEM \"/etc/passwd\"> %p;"), nullptr},
        {"an internal entity", pair, Doctype("<!ENTITY e \"EXPANDED\">"), nullptr},
        {"nested entities", pair, Doctype(laughs), nullptr},
        {"an entity without a declaration", pair, Xml(">v<", ">&e;<"), nullptr}}},
  };
  return table;
}

// The document with the first match of `from` (a regular expression)
// replaced by `to` ($1 in it: the first group); empty when nothing matches.
std::string Spoiled(const std::string& document, const std::string& from, const std::string& to) {
  const std::regex pattern(from);
  if (!std::regex_search(document, pattern)) return {};
  return std::regex_replace(document, pattern, to, std::regex_constants::format_first_only);
}

std::string Spoiled(const std::string& document, const Spoil& s, bool xml) {
  return xml ? Spoiled(document, s.xmlFrom, s.xmlTo) : Spoiled(document, s.jsonFrom, s.jsonTo);
}

class WireErrors : public ::testing::TestWithParam<Encoding> {
 protected:
  Codec codec{GetParam(), WireTest::Newest()};
  bool xml() const { return GetParam() == Encoding::kXml; }
};

// One class of hostile input in one encoding.
class WireBadInput : public ::testing::TestWithParam<std::tuple<std::string, Encoding>> {};

TEST_P(WireBadInput, IsRefusedWithItsFaultAndPath) {
  const auto& [group, encoding] = GetParam();
  const Codec codec(encoding, WireTest::Newest());
  const bool xml = encoding == Encoding::kXml;
  for (const BadInput& c : BadInputs().at(group)) {
    if ((xml ? c.spoil.xmlFrom : c.spoil.jsonFrom).empty()) continue;
    std::string valid;
    try {
      valid = c.subject.write(codec);
      c.subject.read(codec, valid);  // the unspoiled document reads
    } catch (const std::exception& e) {
      ADD_FAILURE() << c.name << ": the valid document fails: " << Explain(e) << "\n" << valid;
      continue;
    }
    const std::string bad = Spoiled(valid, c.spoil, xml);
    if (bad.empty()) {
      ADD_FAILURE() << c.name << ": nothing to spoil in\n" << valid;
    } else if (!c.expect(
                   c.path, [&] { c.subject.read(codec, bad); }, c.name)) {
      ADD_FAILURE() << c.name << ": the document was\n" << bad;
    }
  }
}

// The classes with a case in the encoding.
std::vector<std::tuple<std::string, Encoding>> BadInputClasses() {
  std::vector<std::tuple<std::string, Encoding>> classes;
  for (const auto& [name, cases] : BadInputs()) {
    for (Encoding e : {Encoding::kXml, Encoding::kJson}) {
      const auto applies = [e](const BadInput& c) {
        return !(e == Encoding::kXml ? c.spoil.xmlFrom : c.spoil.jsonFrom).empty();
      };
      if (std::any_of(cases.begin(), cases.end(), applies)) classes.emplace_back(name, e);
    }
  }
  return classes;
}

INSTANTIATE_TEST_SUITE_P(Classes, WireBadInput, ::testing::ValuesIn(BadInputClasses()),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, Encoding>>& info) {
                           return std::get<0>(info.param) + "_" + WireTest::NameOf(std::get<1>(info.param));
                         });

TEST_P(WireErrors, NumbersOfAnyLengthReadAsTheNearestValue) {
  using Info = Qor::Host::PelkProactiveRebalanceInfoEx;
  const std::string zeros(400, '0');
  struct Case {
    const char* name;
    std::string variance, time;  // the texts of a float and an int
    float expectVariance;
    bool xmlOnly;
  };
  const std::vector<Case> cases = {
      {"a long fraction", "0.5" + zeros + "1", "7", 0.5f, false},
      {"just past the middle of two floats", "1.00000005960464477539062500000000001", "7", std::nextafter(1.0f, 2.0f),
       false},
      {"the middle of two floats: to even", "1.000000059604644775390625", "7", 1.0f, false},
      {"a long run of zeros and an exponent", "0." + zeros + "5e400", "7", 0.5f, false},
      {"many digits and a negative exponent", "5" + zeros.substr(100) + "e-0000000301", "7", 0.5f, false},
      {"too small for a float", "1e-50", "7", 0.0f, false},
      {"an int with many leading zeros", "0.5", zeros + "7", 0.5f, true},
  };
  for (const Case& c : cases) {
    if (c.xmlOnly && !xml()) continue;
    const std::string doc =
        Spoiled(Spoiled(codec.EncodeValue(RebalanceInfo().Get(), InfoType()), Variance(c.variance), xml()),
                Time(c.time), xml());
    ASSERT_FALSE(doc.empty()) << c.name;
    try {
      Ref<Any> value = codec.DecodeValue(doc, InfoType());
      const auto& info = static_cast<const Info&>(*value);
      EXPECT_EQ(info.varianceThreshold.ValueOr(-1), c.expectVariance) << c.name;
      EXPECT_EQ(info.timeThreshold.ValueOr(-1), 7) << c.name;
    } catch (const std::exception& e) {
      ADD_FAILURE() << c.name << ": " << Explain(e);
    }
  }
}

// Documents the writer never makes but the checking decoder reads: each
// encoding's fast path reads them to the same value as the checking decoder
// alone, or leaves them to it.
TEST_P(WireErrors, TheFastPathReadsWhatTheCheckingDecoderReadsTheSame) {
  const Zamli::Type& pair = PairType();
  const Zamli::Type& option = OptionType();
  const std::string xsi = " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
  std::vector<std::pair<const Zamli::Type*, std::string>> cases;
  if (!xml()) {
    cases = {
        {&pair, " { \"key\" : \"k\\u00e9\\n\" ,\n \"valu\\u0065\" : \"\\ud83d\\ude00\\\"\" } "},
        {pair.GetArrayType(), "[{\"key\":\"a\",\"value\":\"b\"},{\"value\":\"d\",\"key\":\"c\"}]"},
        {&pair, "{ \"key\" \t: \"k\" \r\n, \"value\":\"\"\n}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_value\":5,\"_typeName\":\"int\"}}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_typeName\":\"float\",\"_value\":-1.5E+3}}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_typeName\":\"long\",\"_value\":-9223372036854775808}}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_typeName\":\"long\",\"_value\":123456789012345678}}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_typeName\":\"long\",\"_value\":-90817263}}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_typeName\":\"int\",\"_value\":2147483647}}"},
        {&option, "{\"key\":\"k\",\"value\":{\"_typeName\":\"ArrayOfString\",\"_value\":[\"a\",\"\"]}}"},
        {&option,
         "{\"key\":\"k\",\"value\":{\"_typeName\":\"ArrayOfAnyType\",\"_value\":[{\"_typeName\":\"int\","
         "\"_value\":1},{\"_typeName\":\"ManagedObjectReference\",\"value\":\"x\",\"type\":\"HostSystem\"}]}}"},
        {&option,
         "{\"value\":{\"value\":\"x\",\"type\":\"HostSystem\",\"_typeName\":\"ManagedObjectReference\"},"
         "\"key\":\"k\"}"},
    };
  } else {
    cases = {
        {&pair,
         "<?xml version=\"1.0\"?>\n<KeyValue><key>a&lt;&amp;&#233;&#x1F600;&quot;&apos;&gt;</key>"
         "<value>\tv\n\xc3\xa9</value></KeyValue>"},
        {&pair, "<p:KeyValue xmlns:p='urn:pelk'>\r\n <p:key >k</p:key >\r\n <value/>\n</p:KeyValue>\n"},
        {pair.GetArrayType(), "<ArrayOfKeyValue" + xsi +
                                  "><KeyValue xsi:nil='1'/><KeyValue><key>a</key><value>b</value></KeyValue>"
                                  "</ArrayOfKeyValue>"},
        {&option, "<OptionValue><key>k</key><value" + xsi + " xsi:type=\"int\">5</value></OptionValue>"},
        {&option, "<OptionValue" + xsi +
                      "><key>k</key><value xsi:type=\"ArrayOfString\"><string/><string>&#10;</string></value>"
                      "</OptionValue>"},
    };
    // The writer's documents laid out with blanks, attributes in single quotes.
    const std::pair<const Zamli::Type*, Ref<Any>> written[] = {
        {&DataType<Qor::Cluster::StorageComplianceResult>(), Compliance()},
        {&DataType<Qor::Cluster::PelkClusterHealthResultRow>(), HealthRow()}};
    for (const auto& [type, value] : written) {
      const std::string doc = codec.EncodeValue(value.Get(), *type);
      const size_t body = doc.find("?>") + 2;
      const std::string laidOut = std::regex_replace(doc.substr(body), std::regex("><"), ">\n  <");
      cases.emplace_back(type, doc.substr(0, body) + std::regex_replace(laidOut, std::regex("\""), "'"));
    }
  }
  void (*setFastPath)(bool) = xml() ? Zamli::Wire::Xml::SetFastPath : Zamli::Wire::Json::SetFastPath;
  for (const auto& [type, doc] : cases) {
    Ref<Any> fast, checked;
    try {
      fast = codec.DecodeValue(doc, *type);
      setFastPath(false);
      checked = codec.DecodeValue(doc, *type);
    } catch (const std::exception& e) {
      ADD_FAILURE() << doc << ": " << Explain(e);
    }
    setFastPath(true);
    EXPECT_TRUE(fast && Zamli::AreEqual(fast.Get(), checked.Get())) << doc;
  }
}

// Text split by comments, CDATA sections and instructions reads as the
// text whole, in values of every kind.
TEST(WireXmlText, EveryValueJoinsTextSplitByMarkup) {
  const Codec codec(Encoding::kXml, WireTest::Newest());
  const std::string request = RebootRequest(codec), info = codec.EncodeValue(RebalanceInfo().Get(), InfoType());
  const std::vector<std::tuple<const std::string*, const char*, const char*>> cases = {
      {&request, ">health-1<", ">health<!-- c -->-1<"},
      {&request, ">health-1<", ">heal<![CDATA[th-1]]><"},
      {&request, ">domain-c8<", ">domain-<?pi x?>c8<"},
      {&request, ">300<", ">3<!---->00<"},
      {&info, ">0.5<", ">0.<!---->5<"},
      {&info, ">true<", ">tr<![CDATA[u]]>e<"},
      {&info, "T10:00", "T1<!---->0:00"}};
  for (const auto& [valid, from, to] : cases) {
    const auto read = [&, isRequest = valid == &request](const std::string& d) {
      return isRequest ? WireTest::AsCall(codec.DecodeRequest(d)) : codec.DecodeValue(d, InfoType());
    };
    const std::string split = Spoiled(*valid, from, to);
    ASSERT_FALSE(split.empty()) << from;
    try {
      Ref<Any> whole = read(*valid), joined = read(split);
      EXPECT_TRUE(Zamli::AreEqual(whole.Get(), joined.Get()))
          << to << ": " << WireTest::Differences(whole.Get(), joined.Get());
    } catch (const std::exception& e) {
      ADD_FAILURE() << to << ": " << Explain(e);
    }
  }
}

// Shapes an attacker would choose: each decodes to what it says, in
// passes that are linear in the document (the benchmarks time them).
TEST_P(WireErrors, HostileShapesDecodeToWhatTheySay) {
  const Zamli::Type& string = *Zamli::GetNoType<std::string>();
  const Zamli::Type& ints = *Zamli::GetNoType<int>()->GetArrayType();
  const int n = 50000;
  const auto text = [&](const std::string& document) {
    return static_cast<Zamli::Primitive<std::string>&>(*codec.DecodeValue(document, string)).GetValue();
  };
  const auto count = [&](const std::string& document) {
    return static_cast<Zamli::Array<int>&>(*codec.DecodeValue(document, ints)).GetLength();
  };
  const std::string many(n, 'a');
  if (xml()) {
    // A reference after many sections: each must be passed once, not once
    // per reference.
    EXPECT_EQ(text("<string>" + Repeat("a<!---->", n) + "&amp;</string>"), many + "&") << "comments";
    EXPECT_EQ(text("<string>" + Repeat("<![CDATA[a]]>", n) + "&amp;</string>"), many + "&") << "CDATA sections";
    EXPECT_EQ(text("<string>" + Repeat("a<?p?>", n) + "&amp;</string>"), many + "&") << "instructions";
    EXPECT_EQ(text("<string>" + Repeat("a&amp;", n) + "</string>").size(), 2u * n) << "references";
    std::string attributes;
    for (int i = 0; i < n; ++i) attributes += " a" + std::to_string(i) + "=\"\"";
    EXPECT_EQ(text("<string" + attributes + ">a</string>"), "a") << "attributes";
    EXPECT_EQ(count("<ArrayOfInt>" + Repeat("<int>1</int><!---->", n) + "</ArrayOfInt>"), size_t(n)) << "items";
  } else {
    EXPECT_EQ(text("\"" + Repeat("\\u0061", n) + "\""), many) << "escapes";
    EXPECT_EQ(count("[" + Repeat("1,", n - 1) + "1]"), size_t(n)) << "items";
  }
  // A long unknown name is refused, and the fault says so briefly.
  const std::string name(n, 'n');
  const std::string document = xml() ? "<KeyValue><" + name + "/></KeyValue>" : "{\"" + name + "\":1}";
  auto fault = WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeValue(document, PairType()); });
  ASSERT_NE(fault, nullptr);
  EXPECT_LT(Zamli::Wire::Describe(*fault).size(), 400u) << Zamli::Wire::Describe(*fault);
}

// A decode may take so much memory, however small the document's bytes.
TEST_P(WireErrors, MemoryPastTheLimitIsRefused) {
  const int n = 200000;
  struct Case {
    const char* name;
    std::string document;
    const Zamli::Type& type;
  };
  const Zamli::Type& ints = *Zamli::GetNoType<int>()->GetArrayType();
  const Zamli::Type& strings = *Zamli::GetNoType<std::string>()->GetArrayType();
  const std::vector<Case> cases =
      xml()
          ? std::vector<Case>{{"tiny items", "<ArrayOfInt>" + Repeat("<int>1</int>", n) + "</ArrayOfInt>", ints},
                              {"empty items", "<ArrayOfString>" + Repeat("<string/>", n) + "</ArrayOfString>", strings}}
          : std::vector<Case>{{"tiny items", "[" + Repeat("1,", n) + "1]", ints},
                              {"empty items", "[" + Repeat("\"\",", n) + "\"\"]", strings}};
  Zamli::Wire::Limits small;
  small.maxDecodeBytes = size_t{2} << 20;
  const Codec strict(GetParam(), WireTest::Newest(), small);
  for (const Case& c : cases) {
    EXPECT_NO_THROW(codec.DecodeValue(c.document, c.type)) << c.name << " within the default limit";
    auto fault =
        WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { strict.DecodeValue(c.document, c.type); }, c.name);
    if (fault) {
      EXPECT_NE(Zamli::Wire::Describe(*fault).find("memory"), std::string::npos) << Zamli::Wire::Describe(*fault);
    }
  }
}

// A fault that answers bad input describes itself in one line, starting
// with its class and path, and can itself be sent back: names and values
// that are not valid text are escaped, long ones cut, secrets never shown.
TEST_P(WireErrors, FaultsForBadInputCanBeSentBack) {
  const std::string longName(5000, 'n');
  struct Case {
    const char* name;
    Subject subject;
    Spoil spoil;
    const char* secret;  // never in the message; null: none
    const char* start = "kettar.fault.InvalidArgument: ";
  };
  const auto account = ValueOf<Dp::Ruv::Dr::ServiceAccountData>([] {
    return FromJson<Dp::Ruv::Dr::ServiceAccountData>(R"({"key":"k","accountName":"n","accountPassword":"pw"})");
  });
  const auto info = ValueOf<Qor::Host::PelkProactiveRebalanceInfoEx>(RebalanceInfo);
  const std::vector<Case> cases = {
      {"a name that is not UTF-8", info, Before("hostname", "<bo\xff\xfegus/>", "\"bo\\u0001gus\\u007f\":1,"), nullptr},
      {"a long name", info, Before("hostname", "<" + longName + "/>", "\"" + longName + "\":1,"), nullptr},
      {"a value that is not UTF-8",
       info,
       {">7<", ">\xff\x01\xc3<", "\"timeThreshold\":7", "\"timeThreshold\":\"\\u0001\\u0000\\u001f\""},
       nullptr},
      {"a long value", info, Time("\"" + longName + "\""), nullptr},
      {"text for an int", info, Time("\"x\""), nullptr, "kettar.fault.InvalidArgument: timeThreshold: "},
      {"a secret",
       account,
       {">pw<", ">pw-4711<b/><", "\"accountPassword\":\"pw\"", "\"accountPassword\":4711"},
       "4711"},
  };
  const Codec xmlCodec(Encoding::kXml, WireTest::Newest()), jsonCodec(Encoding::kJson, WireTest::Newest());
  for (const Case& c : cases) {
    const std::string bad = Spoiled(c.subject.write(codec), c.spoil, xml());
    ASSERT_FALSE(bad.empty()) << c.name;
    auto fault = WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { c.subject.read(codec, bad); }, c.name);
    if (!fault) continue;
    const std::string line = Zamli::Wire::Describe(*fault);
    EXPECT_LT(line.size(), 400u) << c.name << ": " << line;
    EXPECT_EQ(line.rfind(c.start, 0), 0u) << c.name << ": " << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << c.name << ": " << line;
    ASSERT_NE(fault->faultMessage, nullptr);
    ASSERT_GE(fault->faultMessage->GetLength(), 1u);
    const Zamli::LocalizableMessage& message = *fault->faultMessage->Get(0);
    EXPECT_NE(line.find(message.message.ValueOr(message.key).substr(0, 20)), std::string::npos) << c.name << ": " << line;
    if (c.secret != nullptr) {
      EXPECT_EQ(line.find(c.secret), std::string::npos) << c.name << ": " << line;
    }
    for (const Codec* sender : {&xmlCodec, &jsonCodec}) {
      try {
        Ref<Zamli::MethodFault> back = sender->DecodeFault(sender->EncodeFault(*fault));
        EXPECT_EQ(Zamli::Wire::Describe(*back), line) << c.name;
      } catch (const std::exception& e) {
        ADD_FAILURE() << c.name << ": the fault does not travel: " << Explain(e) << "\n" << line;
      }
    }
  }
}

TEST_P(WireErrors, MalformedDocumentsAtEveryCut) {
  // Every prefix of a valid request is refused as malformed, never half read.
  const std::string valid = RebootRequest(codec);
  for (size_t cut = 0; cut < valid.size(); cut += (xml() ? 3 : 1)) {
    const std::string prefix = valid.substr(0, cut);
    if (!WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeRequest(prefix); },
                                                         "cut at " + std::to_string(cut))) {
      ADD_FAILURE() << "the prefix was: " << prefix;
      break;
    }
  }
  const std::vector<std::string> broken =
      xml() ? std::vector<std::string>{"",
                                       "   ",
                                       "not xml",
                                       "<string>a</strin>",
                                       "<string>a",
                                       "<string xmlns=\"urn:pelk\">a</string><string>b</string>",
                                       "<string a=b>a</string>"}
            : std::vector<std::string>{"",       "   ",      "not json", "\"a", "\"a\" \"b\"", "'a'",
                                       "\"a\",", "[\"a\"]x", "{}",       "nul", "\"a\\q\""};
  for (const std::string& document : broken) {
    WireTest::Raised<Zamli::Fault::InvalidArgument>(
        [&] { codec.DecodeValue(document, *Zamli::GetNoType<std::string>()); }, "\"" + document + "\"");
  }
  // (Commas out of place are the table's AmbiguousDocuments.)
  for (const char* document : {"{key:\"k\",\"value\":\"v\"}", "[{\"key\":\"k\",\"value\":\"v\"}]"}) {
    if (!xml()) WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeValue(document, PairType()); }, document);
  }
}

TEST_P(WireErrors, NestingDeeperThanTheLimit) {
  // A row n rows down is 2n + 2 values deep: the rows, the arrays that hold
  // them, and the bottom row's array of strings. At the limit it reads; one
  // level past it, it is refused.
  const auto depthOf = [](int rows) { return 2 * rows + 2; };
  ASSERT_EQ(depthOf(31), 64);
  EXPECT_NO_THROW(codec.DecodeValue(codec.EncodeValue(DeepRow(31).Get(), RowType()), RowType()))
      << "64 deep reads by default";
  std::string deeper = codec.EncodeValue(DeepRow(32).Get(), RowType());
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeValue(deeper, RowType()); }, "66 deep");
  for (int rows : {0, 1, 3, 10}) {
    Zamli::Wire::Limits exact, below;
    exact.maxDepth = depthOf(rows);
    below.maxDepth = depthOf(rows) - 1;
    const std::string document = codec.EncodeValue(DeepRow(rows).Get(), RowType());
    const std::string what = std::to_string(rows) + " rows down";
    try {
      Codec(GetParam(), WireTest::Newest(), exact).DecodeValue(document, RowType());
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << " at a limit of " << exact.maxDepth << ": " << Explain(e);
    }
    WireTest::Raised<Zamli::Fault::InvalidArgument>(
        [&] { Codec(GetParam(), WireTest::Newest(), below).DecodeValue(document, RowType()); },
        what + " at a limit of " + std::to_string(below.maxDepth));
  }
  // A document nested far deeper than any stack: refused, not a crash.
  const int levels = 200000;
  std::string hostile;
  if (xml()) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) open += "<nestedRows>";
    for (int i = 0; i < levels; ++i) close += "</nestedRows>";
    hostile = Spoiled(codec.EncodeValue(DeepRow(0).Get(), RowType()), "<values>", open + close + "<values>");
  } else {
    hostile = "{\"values\":[\"a\"],\"nestedRows\":" + std::string(levels, '[') + std::string(levels, ']') + "}";
  }
  ASSERT_FALSE(hostile.empty());
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeValue(hostile, RowType()); }, "hostile nesting");
  // The same inside anyType.
  if (!xml()) {
    std::string boxes = "{\"key\":\"k\",\"value\":";
    for (int i = 0; i < levels; ++i) boxes += "{\"_typeName\":\"ArrayOfAnyType\",\"_value\":[";
    boxes += std::string(static_cast<size_t>(levels), ']') + "}";
    WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeValue(boxes, OptionType()); }, "hostile boxes");
  }
}

TEST_P(WireErrors, DocumentsLargerThanTheLimit) {
  const std::string document = RebootRequest(codec);
  Zamli::Wire::Limits exact;
  exact.maxDocumentBytes = document.size();
  EXPECT_NO_THROW(Codec(GetParam(), WireTest::Newest(), exact).DecodeRequest(document)) << "at most, not below";
  Zamli::Wire::Limits smaller;
  smaller.maxDocumentBytes = document.size() - 1;
  const Codec strict(GetParam(), WireTest::Newest(), smaller);
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { strict.DecodeRequest(document); }, "one byte over");
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { strict.DecodeValue(document, RowType()); }, "value");
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { strict.DecodeResponse(document, Reboot()); }, "response");
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { strict.DecodeFault(document); }, "fault");
  // The default is 64 MiB: a document one byte larger is refused before it is read.
  std::string huge(static_cast<size_t>(64 << 20) + 1, ' ');
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.DecodeRequest(huge); }, "64 MiB and a byte");
}

// ---------------------------------------------------------------------------
// What the encoder refuses.

TEST_P(WireErrors, TheEncoderRefusesWhatCannotTravel) {
  // (U+0000, which only JSON carries, is LoopbackFixture.AFaultTheEncodingCannotCarryIsStillAnswered's.)
  const Zamli::Type& string = *Zamli::GetNoType<std::string>();
  WireTest::Raised<Zamli::Fault::InvalidArgument>(
      [&] { codec.EncodeValue(Zamli::Box(std::string("a\xff")).Get(), string); }, "invalid UTF-8");
  // The path names the property.
  Ref<Qor::KeyValue> pair(new Qor::KeyValue());
  pair->key = "k";
  pair->value = "v";
  const std::string fine = codec.EncodeValue(pair.Get(), PairType());
  pair->value = "\xc3";
  RaisedAt<Zamli::Fault::InvalidArgument>(
      "value", [&] { codec.EncodeValue(pair.Get(), PairType()); }, "invalid UTF-8 in a property");
  // Neither a refusal midway nor a document larger than what a thread keeps
  // for its next is left in the next document.
  pair->value = std::string(size_t{3} << 20, 'v');
  EXPECT_GT(codec.EncodeValue(pair.Get(), PairType()).size(), size_t{3} << 20);
  pair->value = "v";
  EXPECT_EQ(codec.EncodeValue(pair.Get(), PairType()), fine);
  // Date-times outside the years 0001 to 9999.
  const Zamli::Type& time = *Zamli::GetNoType<Haldun::System::DateTime>();
  for (int64_t micros : {INT64_C(-62135596800000000) - 1, INT64_C(253402300800000000)}) {
    WireTest::Raised<Zamli::Fault::InvalidArgument>(
        [&] { codec.EncodeValue(Zamli::Box(Haldun::System::DateTime::FromMicroseconds(micros)).Get(), time); },
        "date-time " + std::to_string(micros));
  }
  // A value that is not of the declared type.
  WireTest::Raised<Zamli::Fault::InvalidType>([&] { codec.EncodeValue(Zamli::Box(5).Get(), string); }, "int as string");
  WireTest::Raised<Zamli::Fault::InvalidType>([&] { codec.EncodeValue(Pair().Get(), RowType()); }, "KeyValue as a row");
  // A fault without messages still describes itself.
  EXPECT_EQ(Zamli::Wire::Describe(Zamli::Fault::NotSupported()).rfind("kettar.fault.NotSupported", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, WireErrors, WireTest::BothEncodings(), WireTest::EncodingName);

}  // namespace
