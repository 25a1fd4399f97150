// Values, calls and faults through both wire encodings and back: every data
// and fault type, every member of every managed type through the loopback
// adapter, every fault as its own exception class, and the scalars at their
// edges. What comes back must equal what went in.
#include <gtest/gtest.h>
#include <health_calls.h>
#include <pelk/all.h>
#include <qor/all.h>
#include <wire_support.h>
#include <zamli/calls/call.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/values/enum_value.h>
#include <zamli/wire/format.h>
#include <zamli/wire/loopback.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

using Haldun::Ref;
using WireTest::Explain;
using Zamli::Any;
using Zamli::Call::Args;
using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

class WireRoundTrip : public ::testing::TestWithParam<Encoding> {};

std::string EncodingName(const ::testing::TestParamInfo<Encoding>& info) { return WireTest::NameOf(info.param); }

// What the value round trips wrote, to see that they wrote something.
size_t gEncodedBytes = 0;

// Encodes `value` as `declared`, decodes the document and checks that the
// value came back equal, of the same class, and that encoding what came back
// gives the very same document.

void CheckValueRoundTrip(const Codec& codec, const Any* value, const Zamli::Type& declared, const std::string& what) {
  std::string document;
  Ref<Any> back;
  try {
    document = codec.EncodeValue(value, declared);
    back = codec.DecodeValue(document, declared);
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << Explain(e) << "\n" << document.substr(0, 2000);
    return;
  }
  gEncodedBytes += document.size();
  ASSERT_NE(back, nullptr) << what;
  EXPECT_EQ(back->_GetType(), value->_GetType()) << what << " came back as " << back->_GetType()->GetName();
  EXPECT_TRUE(Zamli::AreEqual(value, back.Get()))
      << what << " differs in " << WireTest::Differences(value, back.Get()) << "\n"
      << document.substr(0, 2000);
  EXPECT_EQ(codec.EncodeValue(back.Get(), declared), document) << what << " does not re-encode identically";
}

TEST_P(WireRoundTrip, EveryDataAndFaultTypeAtTheNewestVersion) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::Type& anyType = *Zamli::GetNoType<Any>();
  gEncodedBytes = 0;
  for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("pelk")) {
    Ref<Zamli::DynamicData> value = WireTest::Filled(*type);
    CheckValueRoundTrip(codec, value.Get(), *type, type->GetName());
    // Inside anyType the class is always named.
    CheckValueRoundTrip(codec, value.Get(), anyType, type->GetName() + " as anyType");
    // Declared as its base, the class is named where the value is.
    const Zamli::DataObjectType* base = type->GetBase();
    if (base != nullptr && base->GetDataTypeInfo()->createInstance != nullptr) {
      CheckValueRoundTrip(codec, value.Get(), *base, type->GetName() + " as " + base->GetName());
    }
    // An array of two different values, as the array type.
    Ref<Any> array(type->GetDataTypeInfo()->createArray());
    auto* elements = static_cast<Zamli::DataArrayBase*>(array.Get());
    elements->AppendAny(value.Get());
    elements->AppendAny(WireTest::Filled(*type, 1).Get());
    CheckValueRoundTrip(codec, array.Get(), *type->GetArrayType(), type->GetName() + "[]");
  }
  RecordProperty("bytes", std::to_string(gEncodedBytes));
  EXPECT_GT(gEncodedBytes, size_t{1} << 20) << "the filled values are not what they used to be";
}

TEST_P(WireRoundTrip, TheRuntimesOwnAndTheBaseInterfacesTypes) {
  const Codec codec(GetParam(), WireTest::Newest());
  int types = 0;
  for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("qor")) {
    if (!WireTest::Includes(WireTest::Newest(), *type)) continue;
    ++types;
    CheckValueRoundTrip(codec, WireTest::Filled(*type).Get(), *type, type->GetName());
  }
  EXPECT_GT(types, 0);
  for (const Zamli::DataObjectType* type :
       {Zamli::GetDoType<Zamli::KeyAnyValue>(), Zamli::GetDoType<Zamli::LocalizableMessage>(),
        Zamli::GetDoType<Zamli::MethodFault>()}) {
    CheckValueRoundTrip(codec, WireTest::Filled(*type).Get(), *type, type->GetName());
  }
}

// What encoding a filled value of `type` at `version` must do: travel as it
// is (less the optional properties the version does not include), travel
// with some nested value left out, or be refused because a required value
// the version does not include is set. Follows the filler: an
// object-valued property is set while the child stays within `maxDepth`.
enum class Fit { kAsItIs, kDownLeveled, kRefused };

Fit FitOf(const Zamli::DataObjectType& type, const Zamli::Version& version, int depth, int maxDepth) {
  Fit fit = Fit::kAsItIs;
  for (const Zamli::PropertyRef& p : type.GetAllProperties()) {
    bool object = !p.IsInline() && p.info->type->kind != Zamli::kPrimitiveKind;
    if (object && depth + 1 > maxDepth) continue;  // the filler left it unset
    bool required = !(p.info->flags & Zamli::kOptionalFlag);
    if (!WireTest::Includes(version, p.info->version)) {
      if (required) return Fit::kRefused;
      continue;
    }
    if (!object || (p.info->type->kind != Zamli::kDataKind && p.info->type->kind != Zamli::kFaultKind)) continue;
    auto* declared = dynamic_cast<const Zamli::DataObjectType*>(&WireTest::TypeOf(p.info->type));
    if (!WireTest::Includes(version, *declared)) {
      // The filler made values of the declared class; no base of it fits the declaration.
      if (required) return Fit::kRefused;
      fit = Fit::kDownLeveled;
      continue;
    }
    Fit nested = FitOf(*declared, version, depth + 1, maxDepth);
    if (nested == Fit::kRefused) return nested;
    if (nested == Fit::kDownLeveled) fit = nested;
  }
  return fit;
}

// True when a difference at `path` (relative to a value of `type`) lies at or
// below a property that `version` does not include.
bool LeftOutBy(const Zamli::Version& version, const Zamli::DataObjectType& type, const std::string& path) {
  const Zamli::DataObjectType* at = &type;
  size_t begin = 0;
  while (at != nullptr && begin <= path.size()) {
    size_t end = path.find('.', begin);
    std::string name = path.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    name = name.substr(0, name.find('['));
    const Zamli::PropertyRef* p = at->FindProperty(name);
    if (p == nullptr) return false;
    if (!WireTest::Includes(version, p->info->version)) return true;
    if (end == std::string::npos) return false;
    at = dynamic_cast<const Zamli::DataObjectType*>(&WireTest::TypeOf(p->info->type));
    begin = end + 1;
  }
  return false;
}

TEST_P(WireRoundTrip, OlderVersionsDecodeWhatTheyEncodeAndEncodeItAgainIdentically) {
  for (int v : {3, 8, 12, 16, 21}) {
    const Zamli::Version& version = Zamli::Wire::FindVersion(WireTest::PelkVersion(v));
    const Codec codec(GetParam(), version);
    int asItIs = 0, refused = 0, left = 0, leftOut = 0;
    for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("pelk")) {
      if (!WireTest::Includes(version, *type)) continue;
      const std::string what = type->GetName() + " at " + version.GetName();
      Ref<Zamli::DynamicData> value = WireTest::Filled(*type);
      Fit fit = FitOf(*type, version, 0, 2);
      std::string document;
      try {
        document = codec.EncodeValue(value.Get(), *type);
      } catch (const Zamli::Fault::NotSupported::Exception& e) {
        EXPECT_EQ(fit, Fit::kRefused) << what << ": " << Explain(e);
        ++refused;
        continue;
      } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": " << Explain(e);
        continue;
      }
      EXPECT_NE(fit, Fit::kRefused) << what << " was encoded";
      try {
        Ref<Any> back = codec.DecodeValue(document, *type);
        if (back == nullptr) {
          ADD_FAILURE() << what << " decoded as null";
          continue;
        }
        EXPECT_EQ(back->_GetType(), type) << what;
        EXPECT_EQ(codec.EncodeValue(back.Get(), *type), document) << what;
        if (fit == Fit::kAsItIs) {
          // Only what the version leaves out may be missing.
          EXPECT_TRUE(value->_IsEqual(back.Get(), true))
              << what << ": " << WireTest::Differences(value.Get(), back.Get());
          for (const std::string& d : Zamli::ListDifferences(*value, *back)) {
            EXPECT_TRUE(LeftOutBy(version, *type, d)) << what << ": " << d << " is included but did not travel";
            ++leftOut;
          }
          ++asItIs;
        } else {
          ++left;
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": " << Explain(e) << "\n" << document.substr(0, 2000);
      }
    }
    EXPECT_GT(asItIs, 20) << version.GetName();
    EXPECT_GT(leftOut, 0) << version.GetName() << " left nothing out";
    RecordProperty("version" + std::to_string(v), std::to_string(asItIs) + " as is, " + std::to_string(left) +
                                                      " down-leveled, " + std::to_string(refused) + " refused");
  }
}

// Scalars at their edges, alone and inside anyType.
struct ScalarCase {
  const char* name;
  Ref<Any> value;
  const Zamli::Type* declared;
  bool xml = true;  // false: text XML 1.0 cannot carry, which the XML encoder refuses
};

std::vector<ScalarCase> ScalarCases() {
  using Haldun::System::DateTime;
  const Zamli::Type* string = Zamli::GetNoType<std::string>();
  const Zamli::Type* boolean = Zamli::GetNoType<bool>();
  const Zamli::Type* int32 = Zamli::GetNoType<int>();
  const Zamli::Type* int64 = Zamli::GetNoType<long>();
  const Zamli::Type* real = Zamli::GetNoType<float>();
  const Zamli::Type* time = Zamli::GetNoType<DateTime>();
  const Zamli::Type* binary = Zamli::GetNoType<std::vector<unsigned char>>();
  std::vector<unsigned char> every(256);
  for (int i = 0; i < 256; ++i) every[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
  return {
      {"empty string", Zamli::Box(std::string()), string},
      {"blanks around", Zamli::Box(std::string("  two blanks around  ")), string},
      {"only blanks", Zamli::Box(std::string("   ")), string},
      {"line ends", Zamli::Box(std::string("a\r\nb\rc\nd")), string},
      {"tabs", Zamli::Box(std::string("\ta\tb\t")), string},
      {"markup", Zamli::Box(std::string("<a href=\"x\">&amp;</a> ' ]]> &")), string},
      {"controls", Zamli::Box(std::string("\x01\x08\x0b\x0c\x1f\x7f")), string, false},
      {"markup after plain words", Zamli::Box(std::string("sixteen plain by<&> and \"the tail\"")), string},
      {"escapes in the last word", Zamli::Box(std::string("nine byte\\")), string},
      {"controls after plain words", Zamli::Box(std::string("sixteen plain by\x01 end")), string, false},
      {"non-ASCII after plain words", Zamli::Box(std::string("sixteen plain by\xc3\xbc\xe2\x82\xac")), string},
      {"json escapes", Zamli::Box(std::string("\"\\/\b\f")), string, false},
      {"delete", Zamli::Box(std::string("a\x7f")), string},
      {"non-ASCII", Zamli::Box(std::string("gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80")), string},
      {"false", Zamli::Box(false), boolean},
      {"true", Zamli::Box(true), boolean},
      {"int min", Zamli::Box(INT_MIN), int32},
      {"int max", Zamli::Box(INT_MAX), int32},
      {"int zero", Zamli::Box(0), int32},
      {"long min", Zamli::Box(LONG_MIN), int64},
      {"long max", Zamli::Box(LONG_MAX), int64},
      {"long past double precision", Zamli::Box(9007199254740993L), int64},
      {"float tenth", Zamli::Box(0.1f), real},
      {"float third", Zamli::Box(1.0f / 3.0f), real},
      {"float max", Zamli::Box(FLT_MAX), real},
      {"float lowest", Zamli::Box(-FLT_MAX), real},
      {"float smallest normal", Zamli::Box(FLT_MIN), real},
      {"float denormal", Zamli::Box(std::numeric_limits<float>::denorm_min()), real},
      {"float large integer", Zamli::Box(16777216.0f), real},
      {"float infinity", Zamli::Box(std::numeric_limits<float>::infinity()), real},
      {"float minus infinity", Zamli::Box(-std::numeric_limits<float>::infinity()), real},
      {"epoch", Zamli::Box(DateTime::FromMicroseconds(0)), time},
      {"with fraction", Zamli::Box(DateTime::ParseIso8601("2026-12-06T10:00:00.5Z")), time},
      {"with micros", Zamli::Box(DateTime::ParseIso8601("2026-12-06T10:00:00.000001Z")), time},
      {"with offset", Zamli::Box(DateTime::ParseIso8601("2026-12-06T10:00:00+01:00")), time},
      {"negative offset", Zamli::Box(DateTime::ParseIso8601("2026-12-06T10:00:00.25-09:30")), time},
      {"year 1", Zamli::Box(DateTime::ParseIso8601("0001-01-01T00:00:00Z")), time},
      {"year 9999", Zamli::Box(DateTime::ParseIso8601("9999-12-31T23:59:59.999999Z")), time},
      {"before the epoch", Zamli::Box(DateTime::ParseIso8601("1969-12-31T23:59:59.5Z")), time},
      {"empty binary", Zamli::Box(std::vector<unsigned char>()), binary},
      {"one byte", Zamli::Box(std::vector<unsigned char>{0xff}), binary},
      {"two bytes", Zamli::Box(std::vector<unsigned char>{0, 0xfe}), binary},
      {"every byte", Zamli::Box(every), binary},
  };
}

TEST_P(WireRoundTrip, ScalarsAtTheirEdges) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::Type& anyType = *Zamli::GetNoType<Any>();
  for (const ScalarCase& c : ScalarCases()) {
    if (!c.xml && GetParam() == Encoding::kXml) {
      WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { codec.EncodeValue(c.value.Get(), *c.declared); }, c.name);
      continue;
    }
    CheckValueRoundTrip(codec, c.value.Get(), *c.declared, c.name);
    CheckValueRoundTrip(codec, c.value.Get(), anyType, std::string(c.name) + " as anyType");
    // As a property value of an object, through the records.
    Ref<Zamli::KeyAnyValue> holder(new Zamli::KeyAnyValue());
    holder->key = c.name;
    holder->value = c.value;
    CheckValueRoundTrip(codec, holder.Get(), *Zamli::GetDoType<Zamli::KeyAnyValue>(),
                        std::string(c.name) + " in a KeyAnyValue");
  }
}

// Equality cannot tell a float's sign of zero or NaN; its bits can.
TEST_P(WireRoundTrip, FloatsKeepTheirBits) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::Type& real = *Zamli::GetNoType<float>();
  for (float f :
       {0.1f, -0.0f, 1e-45f, 3.4028235e38f, 1.17549435e-38f, 123456.789f, std::numeric_limits<float>::quiet_NaN()}) {
    Ref<Any> decoded = codec.DecodeValue(codec.EncodeValue(Zamli::Box(f).Get(), real), real);
    auto* box = dynamic_cast<Zamli::Primitive<float>*>(decoded.Get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::signbit(box->GetValue()), std::signbit(f)) << f;
    EXPECT_TRUE(box->GetValue() == f || (std::isnan(f) && std::isnan(box->GetValue()))) << f;
  }
}

// Boxes and arrays of every kind inside anyType: they come back as the
// classes they were, enumerations included.
TEST_P(WireRoundTrip, EveryKindOfValueInsideAnyType) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::Type& anyType = *Zamli::GetNoType<Any>();
  std::vector<std::pair<std::string, Ref<Any>>> values = {
      {"strings", Ref<Any>(new Zamli::Array<std::string>({"a", "", "c"}))},
      {"ints", Ref<Any>(new Zamli::Array<int>({1, -2, INT_MAX}))},
      {"longs", Ref<Any>(new Zamli::Array<long>({LONG_MIN, 0, 3}))},
      {"empty ints", Ref<Any>(new Zamli::Array<int>())},
      {"reference", Ref<Any>(new Zamli::MoRef("qor.HostSystem", "host-1"))},
  };
  auto* refs = new Zamli::DataArray<Zamli::MoRef>();
  values.emplace_back("references", Ref<Any>(refs));
  refs->Append(Ref<Zamli::MoRef>(new Zamli::MoRef("qor.HostSystem", "host-1")));
  refs->Append(Ref<Zamli::MoRef>(new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1")));
  auto* dynamic = new Zamli::DynamicArray();
  values.emplace_back("mixed", Ref<Any>(dynamic));
  dynamic->AppendAny(Zamli::Box(1).Get());
  dynamic->AppendAny(Zamli::Box(std::string("two")).Get());
  dynamic->AppendAny(WireTest::Filled(WireTest::DataTypeNamed("qor.KeyValue")).Get());
  auto* objects = new Zamli::DataArray<Qor::KeyValue>();
  values.emplace_back("objects", Ref<Any>(objects));
  objects->AppendAny(WireTest::Filled(WireTest::DataTypeNamed("qor.KeyValue")).Get());
#define ZAMLI_TEST_ENUM(E)                                                           \
  {                                                                                  \
    const Zamli::EnumType* type = Zamli::GetEnumType<E>();                           \
    const int last = type->GetTagCount() - 1;                                        \
    values.emplace_back(type->GetName(), Ref<Any>(type->GetFuncs().BoxValue(last))); \
    auto* array = new Zamli::Array<E>();                                             \
    values.emplace_back(type->GetName() + "[]", Ref<Any>(array));                    \
    array->Append(static_cast<E>(last));                                             \
    array->Append(static_cast<E>(0));                                                \
  }
#include <pelk/type_list.inc>
  for (const auto& [name, value] : values) {
    CheckValueRoundTrip(codec, value.Get(), anyType, name);
    // (An empty array declared as itself may come back as null, which is the same.)
    if (!Zamli::IsEmptyCollection(value.Get())) {
      CheckValueRoundTrip(codec, value.Get(), *value->_GetType(), name + " as itself");
    }
  }
}

// ---------------------------------------------------------------------------
// Every member of every managed type, through the loopback adapter.

using PelkTest::Fixture;
using PelkTest::Record;

// Calls member `index` of I through a stub over the wire. A property reader
// is no remote method: it may travel, or be refused with a fault.
template <class I, class R, class... P>
void CheckMemberOf(Zamli::LocalAdapter& objects, Zamli::Wire::LoopbackAdapter& wire, R (I::*operation)(P...), int index,
                   const char* name) {
  Record record;
  const std::string id = std::string("object-") + name;
  const Zamli::ManagedObjectType* type = Zamli::GetMoType<I>();
  const bool reader = type->GetMember(index)->IsPropertyReader();
  objects.Register(
      new PelkTest::RecordingServer<typename Fixture<I>::Server>(id, type, &record, &WireTest::FilledShallow));
  Ref<typename Fixture<I>::Stub> stub(new
                                      typename Fixture<I>::Stub(new Zamli::MoRef(type->GetName(), id), &wire, nullptr));
  try {
    I& asInterface = *stub;
    PelkTest::CheckMember(asInterface, operation, index, record, name, &WireTest::FilledShallow);
  } catch (const Zamli::MethodFault::Exception& e) {
    if (!reader) {
      ADD_FAILURE() << name << ": " << Explain(e) << "\nrequest: " << wire.LastRequest().substr(0, 1500)
                    << "\nresponse: " << wire.LastResponse().substr(0, 1500);
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << name << ": not a fault: " << Explain(e);
  }
  objects.Unregister(id);
}

TEST_P(WireRoundTrip, EveryMemberOfEveryManagedTypeThroughTheLoopback) {
  const Codec codec(GetParam(), WireTest::Newest());
  Zamli::LocalAdapter objects(1);
  Zamli::Wire::LoopbackAdapter wire(codec, objects);
#define ZAMLI_TEST_MEMBER(I, Operation, Index) \
  CheckMemberOf<I>(objects, wire, &I::Operation, Index, #I "::" #Operation);
#include <pelk/type_list.inc>
}

struct LoopbackFixture : ::testing::TestWithParam<Encoding> {
  Codec codec{GetParam(), WireTest::Newest()};
  Zamli::LocalAdapter objects{1};
  Zamli::Wire::LoopbackAdapter wire{codec, objects};
  Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> stub;
  void SetUp() override {
    objects.Register(new PelkTest::HealthServer("health-1"));
    stub = Ref<Qor::Cluster::PelkZovClusterHealthSystemStub>(new Qor::Cluster::PelkZovClusterHealthSystemStub(
        new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"), &wire, nullptr));
  }
};

TEST_P(LoopbackFixture, AnswersFaultsAndUnimplementedMembers) {
  PelkTest::CheckHealthCalls(*stub);
  EXPECT_TRUE(stub->UploadHclDb("ok"));
  EXPECT_NE(wire.LastRequest().find("PelkZovUploadHclDb"), std::string::npos) << wire.LastRequest();
  EXPECT_NE(wire.LastResponse().find("true"), std::string::npos) << wire.LastResponse();
  // Errors that are not faults, the runtime's and a plain std::exception,
  // arrive as the system error, the error's message as its reason.
  for (const auto& [db, reason] : {std::pair{"error", "not a fault"}, std::pair{"plain", "not one of ours"}}) {
    try {
      stub->UploadHclDb(db);
      ADD_FAILURE() << db << ": no fault";
    } catch (const Zamli::Fault::SystemError::Exception& e) {
      EXPECT_EQ(typeid(e), typeid(Zamli::Fault::SystemError::Exception)) << db;
      EXPECT_EQ(e.GetFault()->reason, reason) << db;
    }
  }
  Qor::Cluster::PelkZovClusterHealthSystemStub nobody(
      new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "nobody"), &wire, nullptr);
  EXPECT_THROW(nobody.UploadHclDb("ok"), Zamli::MethodFault::Exception) << "an unknown object";
}

TEST_P(LoopbackFixture, SynchronousAndAsynchronousCalls) { PelkTest::CheckCallsFromThreads(*stub, 2, 2); }

TEST_P(LoopbackFixture, AnAsynchronousPlainErrorArrivesAsTheSystemError) {
  Ref<Haldun::System::ScheduledItem> item;
  bool systemError = false;
  stub->UploadHclDb(
      "plain",
      [&](Haldun::System::ScheduledItem*, Haldun::Exception* error, Any*) {
        systemError = dynamic_cast<Zamli::Fault::SystemError::Exception*>(error) != nullptr;
      },
      item);
  ASSERT_NE(item, nullptr);
  item->Wait();
  EXPECT_TRUE(systemError);
}

TEST_P(LoopbackFixture, AFaultTheEncodingCannotCarryIsStillAnswered) {
  try {
    stub->UploadHclDb("unencodable");
    ADD_FAILURE() << "no fault";
  } catch (const Dp::Ruv::Fault::WexdServiceDown::Exception& e) {
    EXPECT_EQ(GetParam(), Encoding::kJson);
    EXPECT_EQ(e.GetFault()->hostname, std::string("host\0", 5));
  } catch (const Zamli::Fault::SystemError::Exception& e) {
    EXPECT_EQ(GetParam(), Encoding::kXml);
    EXPECT_EQ(e.GetFault()->reason.rfind("the fault cannot be encoded: kettar.fault.InvalidArgument", 0), 0u)
        << e.GetFault()->reason;
  }
}

// ---------------------------------------------------------------------------
// Encodings are found by name; a third one is one registration.

// JSON under another name, registered as a third encoding would be.
class JsonAgain : public Zamli::Wire::Format {
 public:
  std::string_view Name() const override { return "json-again"; }
  std::string EncodeValue(const Codec& c, const Any* value, const Zamli::Type& declared) const override {
    return json_.EncodeValue(c, value, declared);
  }
  Ref<Any> DecodeValue(const Codec& c, std::string_view document, const Zamli::Type& declared) const override {
    return json_.DecodeValue(c, document, declared);
  }
  std::string EncodeRequest(const Codec& c, const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                            const Args& args) const override {
    return json_.EncodeRequest(c, target, method, args);
  }
  Zamli::Wire::Request DecodeRequest(const Codec& c, std::string_view document) const override {
    return json_.DecodeRequest(c, document);
  }
  std::string EncodeResponse(const Codec& c, const Zamli::ManagedMethod& method, const Any* result) const override {
    return json_.EncodeResponse(c, method, result);
  }
  Ref<Any> DecodeResponse(const Codec& c, std::string_view document,
                          const Zamli::ManagedMethod& method) const override {
    return json_.DecodeResponse(c, document, method);
  }
  std::string EncodeFault(const Codec& c, const Zamli::MethodFault& fault) const override {
    return json_.EncodeFault(c, fault);
  }
  Ref<Zamli::MethodFault> DecodeFault(const Codec& c, std::string_view document) const override {
    return json_.DecodeFault(c, document);
  }

 private:
  const Zamli::Wire::Format& json_ = Zamli::Wire::FindFormat("json");
};

TEST(WireFormats, FoundByNameAndAThirdIsOneRegistration) {
  const Zamli::Version& newest = WireTest::Newest();
  EXPECT_EQ(&Codec("xml", newest).GetFormat(), &Codec(Encoding::kXml, newest).GetFormat());
  EXPECT_EQ(Codec(Encoding::kJson, newest).GetFormat().Name(), "json");
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { Codec("yaml", newest); }, "an unknown name");
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { Codec(static_cast<Encoding>(2), newest); },
                                                  "a value outside the enumeration");

  static const JsonAgain format;
  Zamli::Wire::RegisterFormat(format);
  EXPECT_EQ(Zamli::Wire::FormatNames(), (std::vector<std::string>{"json", "json-again", "xml"}));
  WireTest::Raised<Zamli::Fault::InvalidArgument>([] { Zamli::Wire::RegisterFormat(format); }, "a name taken");
  const Codec codec("json-again", newest);
  Zamli::LocalAdapter objects(1);
  Zamli::Wire::LoopbackAdapter wire(codec, objects);
  objects.Register(new PelkTest::HealthServer("health-1"));
  Qor::Cluster::PelkZovClusterHealthSystemStub stub(
      new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"), &wire, nullptr);
  EXPECT_TRUE(stub.UploadHclDb("ok"));
  EXPECT_EQ(wire.LastResponse(), "{\"returnval\":true}");
  EXPECT_THROW(stub.UploadHclDb("fault"), Dp::Ruv::Fault::WexdServiceDown::Exception);
}

// ---------------------------------------------------------------------------
// Every fault, alone and as the answer to a call.

template <class F>
void CheckFaultTravels(const Codec& codec, const Zamli::ManagedMethod& method) {
  const Zamli::DataObjectType& type = *Zamli::GetDoType<F>();
  Ref<Zamli::DynamicData> filled = WireTest::Filled(type);
  auto* fault = dynamic_cast<F*>(filled.Get());
  ASSERT_NE(fault, nullptr) << type.GetName();
  std::string document;
  try {
    document = codec.EncodeFault(*fault);
    Ref<Zamli::MethodFault> back = codec.DecodeFault(document);
    ASSERT_NE(back, nullptr) << type.GetName();
    const Zamli::MethodFault& decoded = *back;
    EXPECT_EQ(typeid(decoded), typeid(F)) << type.GetName();
    EXPECT_TRUE(Zamli::AreEqual(fault, back.Get()))
        << type.GetName() << ": " << WireTest::Differences(fault, back.Get()) << "\n"
        << document.substr(0, 2000);
    EXPECT_EQ(codec.EncodeFault(*back), document) << type.GetName();
  } catch (const std::exception& e) {
    ADD_FAILURE() << type.GetName() << ": " << Explain(e) << "\n" << document.substr(0, 2000);
    return;
  }
  try {
    codec.DecodeResponse(document, method);
    ADD_FAILURE() << type.GetName() << ": a fault document decoded as a result";
  } catch (const typename F::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(typename F::Exception)) << type.GetName();
    EXPECT_TRUE(Zamli::AreEqual(fault, e.GetFault())) << type.GetName();
  } catch (const std::exception& e) {
    ADD_FAILURE() << type.GetName() << ": raised " << Explain(e);
  }
}

TEST_P(WireRoundTrip, EveryFaultAloneAndAsTheAnswerToACall) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::ManagedMethod& method =
      *Zamli::GetMoType<Qor::Cluster::PelkZovClusterHealthSystem>()->FindMethod("uploadHclDb");
#define ZAMLI_TEST_FAULT(F, Chain) CheckFaultTravels<F>(codec, method);
#include <pelk/type_list.inc>
#define ZAMLI_TEST_FAULT(F, Chain) CheckFaultTravels<F>(codec, method);
#include <qor/type_list.inc>
  // The root class itself.
  Ref<Zamli::MethodFault> root(new Zamli::MethodFault());
  root->faultCause = Ref<Zamli::MethodFault>(new Zamli::Fault::NotSupported());
  Ref<Zamli::MethodFault> back = codec.DecodeFault(codec.EncodeFault(*root));
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(Zamli::AreEqual(root.Get(), back.Get())) << WireTest::Differences(root.Get(), back.Get());
}

// Requests and responses of every method, each read back and written again.
TEST_P(WireRoundTrip, EveryRequestAndResponseAlone) {
  const Codec codec(GetParam(), WireTest::Newest());
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().FindNamespace("pelk")->GetTypes()) {
    auto* type = dynamic_cast<const Zamli::ManagedObjectType*>(t);
    if (type == nullptr) continue;
    const Ref<Zamli::MoRef> target(new Zamli::MoRef(type->GetName(), "target-" + type->GetWsdlName()));
    for (int i = 0; i < type->GetMethodCount(); ++i) {
      const Zamli::ManagedMethod& method = *type->GetMember(i);
      const Zamli::MethodInfo& info = *method.GetMethodInfo();
      const std::string what = type->GetName() + "." + info.name;
      std::vector<Ref<Any>> args;
      for (int p = 0; info.params[p].type != nullptr; ++p) args.push_back(WireTest::ValueFor(info.params[p], p + i));
      try {
        std::string document = codec.EncodeRequest(*target, method, args);
        Zamli::Wire::Request request = codec.DecodeRequest(document);
        EXPECT_EQ(request.method, &method) << what;
        Ref<Any> sent = WireTest::AsCall(method, *target, args), read = WireTest::AsCall(request);
        EXPECT_TRUE(Zamli::AreEqual(sent.Get(), read.Get()))
            << what << ": " << WireTest::Differences(sent.Get(), read.Get());
        EXPECT_EQ(codec.EncodeRequest(*request.target, *request.method, request.args), document) << what;
        // The result twice: once with an optional one left out.
        for (int seed : {i, 1}) {
          Ref<Any> result = WireTest::ValueFor(info.result, seed);
          document = codec.EncodeResponse(method, result.Get());
          Ref<Any> back = codec.DecodeResponse(document, method);
          EXPECT_TRUE(Zamli::AreEqual(result.Get(), back.Get()))
              << what << ": " << WireTest::Differences(result.Get(), back.Get()) << "\n"
              << document.substr(0, 1500);
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": " << Explain(e);
      }
    }
  }
}

// Last, as a failure here may end the run: what a caller hands in by
// reference is only borrowed, even when it lives on the stack.
TEST_P(WireRoundTrip, ValuesOnTheStackAreOnlyBorrowed) {
  const Codec codec(GetParam(), WireTest::Newest());
  Qor::Host::PelkProactiveRebalanceInfoEx info;
  info.hostname = "host-1";
  std::string document = codec.EncodeValue(&info, *Zamli::GetDoType<Qor::Host::PelkProactiveRebalanceInfoEx>());
  EXPECT_EQ(info.GetRefCount(), 0);
  Zamli::Fault::InvalidArgument fault;
  fault.invalidProperty = "hosts[2].name";
  document = codec.EncodeFault(fault);
  EXPECT_EQ(fault.GetRefCount(), 0);
  Zamli::MoRef target("qor.cluster.PelkZovClusterHealthSystem", "health-1");
  const Zamli::ManagedMethod& upload =
      *Zamli::GetMoType<Qor::Cluster::PelkZovClusterHealthSystem>()->FindMethod("uploadHclDb");
  document = codec.EncodeRequest(target, upload, {Zamli::Box(std::string("db"))});
  EXPECT_EQ(target.GetRefCount(), 0);
  Zamli::Wire::Request request = codec.DecodeRequest(document);
  EXPECT_EQ(request.method, &upload);
}

INSTANTIATE_TEST_SUITE_P(Encodings, WireRoundTrip, ::testing::Values(Encoding::kXml, Encoding::kJson), EncodingName);
INSTANTIATE_TEST_SUITE_P(Encodings, LoopbackFixture, ::testing::Values(Encoding::kXml, Encoding::kJson), EncodingName);

}  // namespace
