// Values, calls and faults through both wire encodings and back: every data
// and fault type, at the newest version and older ones, the request and
// response of every method, calls through the loopback adapter, every fault
// as its own exception class, and the scalars at their edges. What comes back
// must equal what went in, less what an older version does not include.
#include <gtest/gtest.h>
#include <health_calls.h>
#include <pelk/all.h>
#include <pelktest/pelktest/Everything.h>
#include <property_slot.h>
#include <qor/all.h>
#include <wire_support.h>
#include <zamli/calls/call.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/values/enum_value.h>
#include <zamli/wire/format.h>
#include <zamli/wire/left_out.h>
#include <zamli/wire/loopback.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <regex>
#include <stdexcept>
#include <utility>

namespace {

using Haldun::Ref;
using WireTest::Explain;
using WireTest::Includes;
using Zamli::Any;
using Zamli::Call::Args;
using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

class WireRoundTrip : public ::testing::TestWithParam<Encoding> {};

using WireTest::Upload;

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

// Every data and fault type of the interface, the base interface's that the
// newest version includes, and the runtime's own that travel.
TEST_P(WireRoundTrip, EveryDataAndFaultTypeAtTheNewestVersion) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::Type& anyType = *Zamli::GetNoType<Any>();
  std::vector<const Zamli::DataObjectType*> types = WireTest::DataTypesOf("pelk");
  for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("qor")) {
    if (Includes(WireTest::Newest(), *type)) types.push_back(type);
  }
  types.insert(types.end(), {Zamli::GetDoType<Zamli::KeyAnyValue>(), Zamli::GetDoType<Zamli::LocalizableMessage>(),
                             Zamli::GetDoType<Zamli::MethodFault>()});
  gEncodedBytes = 0;
  for (const Zamli::DataObjectType* type : types) {
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
    // Among values of other classes, inside anyType.
    Ref<Zamli::DynamicArray> mixed(new Zamli::DynamicArray());
    mixed->AppendAny(value.Get());
    mixed->AppendAny(Zamli::Box(7).Get());
    mixed->AppendAny(array.Get());
    mixed->AppendAny(WireTest::Filled(*type, 1).Get());
    CheckValueRoundTrip(codec, mixed.Get(), anyType, type->GetName() + " among others");
  }
  EXPECT_GT(types.size(), WireTest::DataTypesOf("pelk").size() + 3) << "no type of the base interface";
  RecordProperty("bytes", std::to_string(gEncodedBytes));
  EXPECT_GT(gEncodedBytes, size_t{1} << 20) << "the filled values are not what they used to be";
}

// ---------------------------------------------------------------------------
// Older versions of the namespace: what a version does not include is left
// out, travels as a base class, or is refused; decoding refuses it. The cases
// are found by scanning the records, so they follow the schema.

// The namespace's versions, oldest first.
std::vector<const Zamli::Version*> PelkVersions() {
  std::vector<const Zamli::Version*> v = Zamli::TypeRegistry::Instance().FindNamespace("pelk")->GetVersions();
  std::reverse(v.begin(), v.end());
  return v;
}

// The oldest version that includes the type and, when given, a version an
// element of it names.
const Zamli::Version* OldestIncluding(const Zamli::Type& type, const char* element = nullptr) {
  for (const Zamli::Version* v : PelkVersions()) {
    if (Includes(*v, type) && (element == nullptr || Includes(*v, element))) return v;
  }
  return nullptr;
}

std::vector<const Zamli::ManagedObjectType*> ManagedTypes() {
  std::vector<const Zamli::ManagedObjectType*> out;
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().FindNamespace("pelk")->GetTypes()) {
    if (auto* m = dynamic_cast<const Zamli::ManagedObjectType*>(t)) out.push_back(m);
  }
  return out;
}

// A new object of `type` holding the values of `source` for the properties
// of `type` that `version` includes: what `source` must arrive as when it
// travels as `type` for that version.
Ref<Zamli::DynamicData> AsSeenBy(const Zamli::DynamicData& source, const Zamli::DataObjectType& type,
                                 const Zamli::Version& version) {
  Ref<Zamli::DynamicData> out(type.GetDataTypeInfo()->createInstance());
  auto* from = const_cast<Zamli::DynamicData*>(&source);
  for (const Zamli::PropertyRef& p : type.GetAllProperties()) {
    const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
    if (!Includes(version, p.info->version) || !r.isPropertySet(from, p.index)) continue;
    PelkTest::MoveProperty(p, from, out.Get());
  }
  return out;
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
    if (!Includes(version, p.info->version)) {
      if (required) return Fit::kRefused;
      continue;
    }
    if (!object || (p.info->type->kind != Zamli::kDataKind && p.info->type->kind != Zamli::kFaultKind)) continue;
    auto* declared = dynamic_cast<const Zamli::DataObjectType*>(&WireTest::TypeOf(p.info->type));
    if (!Includes(version, *declared)) {
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
    if (!Includes(version, p->info->version)) return true;
    if (end == std::string::npos) return false;
    at = dynamic_cast<const Zamli::DataObjectType*>(&WireTest::TypeOf(p->info->type));
    begin = end + 1;
  }
  return false;
}

TEST_P(WireRoundTrip, OlderVersionsDecodeWhatTheyEncodeAndEncodeItAgainIdentically) {
  for (int v : {3, 8, 12, 16, 21}) {
    const Zamli::Version& version = Zamli::Wire::FindVersion(WireTest::PelkVersion(v));
    const Codec codec(GetParam(), version), newest(GetParam(), WireTest::Newest());
    int asItIs = 0, refused = 0, left = 0, leftOut = 0;
    for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("pelk")) {
      if (!Includes(version, *type)) continue;
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
          const std::vector<std::string> differences = Zamli::ListDifferences(*value, *back);
          for (const std::string& d : differences) {
            EXPECT_TRUE(LeftOutBy(version, *type, d)) << what << ": " << d << " is included but did not travel";
          }
          if (!differences.empty()) {
            // The newest version reads it the same, and the older refuses what the newest writes.
            ++leftOut;
            EXPECT_TRUE(Zamli::AreEqual(back.Get(), newest.DecodeValue(document, *type).Get())) << what;
            WireTest::Raised<Zamli::Fault::NotSupported>(
                [&] { codec.DecodeValue(newest.EncodeValue(value.Get(), *type), *type); }, what + ", the newest's");
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

// The production schema has no required property added after its type; the
// tests' own interface has one: Everything.added, since its second version.
TEST_P(WireRoundTrip, ARequiredPropertyTheVersionDoesNotIncludeIsRefused) {
  const Zamli::DataObjectType& type = *Zamli::GetDoType<Pelktest::Everything>();
  Ref<Pelktest::Everything> value(new Pelktest::Everything());
  value->text = "n";
  value->added = 3;
  const Codec before(GetParam(), Zamli::Wire::FindVersion("pelktest.version.v1"));
  const Codec since(GetParam(), Zamli::Wire::FindVersion("pelktest.version.v2"));
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { before.EncodeValue(value.Get(), type); }, "added before v2");
  // Inside anyType too: the value is refused, not sent without what it requires.
  Ref<Zamli::KeyAnyValue> pair(new Zamli::KeyAnyValue());
  pair->key = "k";
  pair->value = Ref<Any>(value.Get());
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { before.EncodeValue(pair.Get(), *pair->_GetType()); },
                                               "added before v2, inside anyType");
  std::string document = since.EncodeValue(value.Get(), type);
  EXPECT_TRUE(Zamli::AreEqual(value.Get(), since.DecodeValue(document, type).Get()));
  // What one version encoded of the type does not carry over to another.
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { before.EncodeValue(value.Get(), type); }, "again, after v2");
  // The version before refuses the property when it reads it...
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { before.DecodeValue(document, type); }, "reading added");
  // ...and does not require what it does not include.
  value->added = 0;
  std::string without = since.EncodeValue(value.Get(), type);
  std::string spoiled =
      std::regex_replace(without, std::regex(GetParam() == Encoding::kXml ? "<added>0</added>" : ",\"added\":0"), "");
  ASSERT_NE(spoiled, without);
  Ref<Any> back = before.DecodeValue(spoiled, type);
  EXPECT_TRUE(Zamli::AreEqual(value.Get(), back.Get())) << WireTest::Differences(value.Get(), back.Get());
  // While the version that includes it does.
  WireTest::Raised<Zamli::Fault::InvalidArgument>([&] { since.DecodeValue(spoiled, type); }, "added missing at v2");
}

// A parameter a later version added to a method.
struct LaterParameter {
  const Zamli::ManagedObjectType* type = nullptr;
  const Zamli::ManagedMethod* method = nullptr;
  int index = -1;
  const Zamli::Version* version = nullptr;
};

LaterParameter FirstLaterParameter() {
  for (const Zamli::ManagedObjectType* type : ManagedTypes()) {
    for (int m = 0; m < type->GetMethodCount(); ++m) {
      const Zamli::MethodInfo& info = *type->GetMember(m)->GetMethodInfo();
      const Zamli::Version* version = OldestIncluding(*type, info.version);
      if (version == nullptr) continue;
      for (int p = 0; info.params[p].type != nullptr; ++p) {
        if (!Includes(*version, info.params[p].version)) return {type, type->GetMember(m), p, version};
      }
    }
  }
  return {};
}

TEST_P(WireRoundTrip, AParameterTheVersionDoesNotIncludeIsLeftOutAndRefusedWhenRead) {
  LaterParameter later = FirstLaterParameter();
  ASSERT_NE(later.method, nullptr) << "the schema has no parameter added after its method";
  const Zamli::MethodInfo& info = *later.method->GetMethodInfo();
  const Zamli::PropertyInfo& param = info.params[later.index];
  ASSERT_TRUE(param.flags & Zamli::kOptionalFlag) << "a required parameter added later";
  const std::string what =
      later.type->GetName() + "." + info.name + "(" + param.name + ") at " + later.version->GetName();
  const Codec old(GetParam(), *later.version), newest(GetParam(), WireTest::Newest());
  Ref<Zamli::MoRef> target(new Zamli::MoRef(later.type->GetName(), "target"));
  std::vector<Ref<Any>> args;
  for (int p = 0; info.params[p].type != nullptr; ++p) args.push_back(WireTest::ValueFor(info.params[p], 0));
  ASSERT_NE(args[static_cast<size_t>(later.index)], nullptr);
  std::string document = old.EncodeRequest(*target, *later.method, args);
  for (const Codec* reader : {&old, &newest}) {
    Zamli::Wire::Request request = reader->DecodeRequest(document);
    EXPECT_EQ(request.method, later.method) << what;
    ASSERT_EQ(request.args.size(), args.size()) << what;
    for (size_t a = 0; a < args.size(); ++a) {
      const Zamli::PropertyInfo& p = info.params[a];
      if (!Includes(*later.version, p.version)) {
        EXPECT_EQ(request.args[a], nullptr) << what << ": " << p.name << " travelled";
      } else if (PelkTest::IsValueKind(p)) {
        EXPECT_TRUE(Zamli::AreEqual(args[a].Get(), request.args[a].Get())) << what << ": " << p.name;
      } else {
        EXPECT_NE(request.args[a], nullptr) << what << ": " << p.name;
      }
    }
  }
  std::string current = newest.EncodeRequest(*target, *later.method, args);
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeRequest(current); }, what);
}

// A data type newer than a version that includes its base.
struct NewerClass {
  const Zamli::DataObjectType* type = nullptr;
  const Zamli::Version* version = nullptr;
};

NewerClass FirstClassNewerThanItsBase(bool faults) {
  for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("pelk")) {
    const Zamli::DataObjectType* base = type->GetBase();
    if (type->IsFault() != faults || base == nullptr || base->GetDataTypeInfo()->createInstance == nullptr) continue;
    for (const Zamli::Version* v : PelkVersions()) {
      if (Includes(*v, *base) && !Includes(*v, *type)) return {type, v};
    }
  }
  return {};
}

TEST_P(WireRoundTrip, AValueOfANewerClassTravelsAsItsNearestIncludedBase) {
  NewerClass newer = FirstClassNewerThanItsBase(false);
  ASSERT_NE(newer.type, nullptr);
  const Zamli::DataObjectType& type = *newer.type;
  const Zamli::DataObjectType& base = *type.GetBase();
  const Zamli::Version& version = *newer.version;
  const std::string what = type.GetName() + " as " + base.GetName() + " at " + version.GetName();
  const Codec old(GetParam(), version), newest(GetParam(), WireTest::Newest());
  Ref<Zamli::DynamicData> value = WireTest::Filled(type, 0);
  Ref<Zamli::DynamicData> expected = AsSeenBy(*value, base, version);
  const std::vector<const Zamli::Type*> declarations = {&base, Zamli::GetNoType<Any>()};
  for (const Zamli::Type* declared : declarations) {
    std::string document = old.EncodeValue(value.Get(), *declared);
    EXPECT_EQ(document.find(type.GetWsdlName() + "\""), std::string::npos) << what << " names its class\n" << document;
    Ref<Any> back = old.DecodeValue(document, *declared);
    ASSERT_NE(back, nullptr) << what;
    EXPECT_EQ(back->_GetType(), &base) << what << " as " << declared->GetName();
    EXPECT_TRUE(Zamli::AreEqual(expected.Get(), back.Get()))
        << what << ": " << WireTest::Differences(expected.Get(), back.Get());
  }
  // Inside an object: a property declared as the base, or as anyType.
  Ref<Zamli::KeyAnyValue> holder(new Zamli::KeyAnyValue());
  holder->key = "k";
  holder->value = Ref<Any>(value.Get());
  Ref<Any> back = old.DecodeValue(old.EncodeValue(holder.Get(), *holder->_GetType()), *holder->_GetType());
  auto* pair = dynamic_cast<Zamli::KeyAnyValue*>(back.Get());
  ASSERT_NE(pair, nullptr);
  EXPECT_TRUE(Zamli::AreEqual(expected.Get(), pair->value.Get())) << what << " in anyType";
  // The version reading a document that names the newer class refuses it.
  std::string current = newest.EncodeValue(value.Get(), base);
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, base); }, what);
  current = newest.EncodeValue(value.Get(), *Zamli::GetNoType<Any>());
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, *Zamli::GetNoType<Any>()); }, what);
  // And a value declared as a type the version does not include.
  current = newest.EncodeValue(value.Get(), type);
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, type); }, what);
  // The check that walks values as the encoder does lists the class and the
  // base that goes instead, and nothing at the newest. (What it lists of
  // properties and parameters, and how it says so, is pelkctl --strict's.)
  const std::vector<Zamli::Wire::LeftOut> listed = Zamli::Wire::LeftOutOfValue(old, value.Get(), base);
  EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                          [&](const Zamli::Wire::LeftOut& item) {
                            return item.path.empty() &&
                                   item.element == type.GetName() + " (goes as " + base.GetName() + ")" &&
                                   item.introducedIn == type.GetVersionName();
                          }))
      << what << ": " << listed.size() << " listed";
  EXPECT_TRUE(Zamli::Wire::LeftOutOfValue(newest, value.Get(), base).empty()) << what;
}

TEST_P(WireRoundTrip, AFaultOfANewerClassIsRaisedAsItsNearestIncludedBase) {
  NewerClass newer = FirstClassNewerThanItsBase(true);
  ASSERT_NE(newer.type, nullptr);
  const Zamli::DataObjectType& base = *newer.type->GetBase();
  const std::string what = newer.type->GetName() + " at " + newer.version->GetName();
  const Codec old(GetParam(), *newer.version);
  Ref<Zamli::DynamicData> filled = WireTest::Filled(*newer.type, 0);
  auto* fault = dynamic_cast<Zamli::MethodFault*>(filled.Get());
  ASSERT_NE(fault, nullptr);
  Ref<Zamli::DynamicData> expected = AsSeenBy(*fault, base, *newer.version);
  std::string document = old.EncodeFault(*fault);
  Ref<Zamli::MethodFault> back = old.DecodeFault(document);
  ASSERT_NE(back, nullptr) << what;
  EXPECT_EQ(back->_GetType(), &base) << what;
  EXPECT_TRUE(Zamli::AreEqual(expected.Get(), back.Get()))
      << what << ": " << WireTest::Differences(expected.Get(), back.Get());
  try {
    old.DecodeResponse(document, Upload());
    ADD_FAILURE() << what << ": no fault raised";
  } catch (const Zamli::MethodFault::Exception& e) {
    std::unique_ptr<Zamli::MethodFault::Exception> model(
        static_cast<Zamli::MethodFault*>(expected.Get())->CreateException());
    const Zamli::MethodFault::Exception& modelRef = *model;
    EXPECT_EQ(typeid(e), typeid(modelRef)) << what;
  }
}

TEST_P(WireRoundTrip, AValueWithNoIncludedClassIsLeftOutOrRefusedWhenRequired) {
  // A class whose only base is the root, newer than the oldest version.
  const Zamli::Version& oldest = *PelkVersions().front();
  const Zamli::DataObjectType* newer = nullptr;
  for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("pelk")) {
    if (!type->IsFault() && type->GetBase() == Zamli::GetDoType<Zamli::DynamicData>() && !Includes(oldest, *type)) {
      newer = type;
      break;
    }
  }
  ASSERT_NE(newer, nullptr);
  const std::string what = newer->GetName() + " at " + oldest.GetName();
  const Codec old(GetParam(), oldest);
  // qor.option.OptionValue.value is an optional anyType: left out.
  Ref<Qor::Option::OptionValue> option(new Qor::Option::OptionValue());
  option->key = "k";
  option->value = Ref<Any>(WireTest::Filled(*newer, 0).Get());
  Ref<Any> back = old.DecodeValue(old.EncodeValue(option.Get(), *option->_GetType()), *option->_GetType());
  auto* decoded = dynamic_cast<Qor::Option::OptionValue*>(back.Get());
  ASSERT_NE(decoded, nullptr) << what;
  EXPECT_EQ(decoded->key, "k");
  EXPECT_EQ(decoded->value, nullptr) << what << " travelled as " << decoded->value->_GetType()->GetName();
  // kettar.KeyAnyValue.value is a required anyType: refused.
  Ref<Zamli::KeyAnyValue> pair(new Zamli::KeyAnyValue());
  pair->key = "k";
  pair->value = option->value;
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.EncodeValue(pair.Get(), *pair->_GetType()); }, what);
}

// A method that a version including its type does not include.
TEST_P(WireRoundTrip, AMethodTheVersionDoesNotIncludeIsRefusedBothWays) {
  int checked = 0;
  for (const Zamli::ManagedObjectType* type : ManagedTypes()) {
    const Zamli::Version* version = OldestIncluding(*type);
    if (version == nullptr) continue;
    for (int m = 0; m < type->GetMethodCount() && checked < 5; ++m) {
      const Zamli::ManagedMethod& method = *type->GetMember(m);
      const Zamli::MethodInfo& info = *method.GetMethodInfo();
      if (Includes(*version, info.version)) continue;
      ++checked;
      const std::string what = type->GetName() + "." + info.name + " at " + version->GetName();
      const Codec old(GetParam(), *version), newest(GetParam(), WireTest::Newest());
      Ref<Zamli::MoRef> target(new Zamli::MoRef(type->GetName(), "t"));
      std::vector<Ref<Any>> args;
      for (int p = 0; info.params[p].type != nullptr; ++p) args.push_back(WireTest::ValueFor(info.params[p], 0));
      WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.EncodeRequest(*target, method, args); },
                                                   what + ", EncodeRequest");
      std::string current = newest.EncodeRequest(*target, method, args);
      WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeRequest(current); }, what + ", DecodeRequest");
      Ref<Any> result = WireTest::ValueFor(info.result, 0);
      WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.EncodeResponse(method, result.Get()); },
                                                   what + ", EncodeResponse");
      current = newest.EncodeResponse(method, result.Get());
      WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeResponse(current, method); },
                                                   what + ", DecodeResponse");
    }
  }
  EXPECT_EQ(checked, 5);
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
      {"leap day, local date ahead", Zamli::Box(DateTime::ParseIso8601("2024-02-29T00:30:00.000250+05:45")), time},
      {"year 1, local date behind", Zamli::Box(DateTime::ParseIso8601("0001-03-01T23:59:59-14:00")), time},
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

// Every enumeration, and an empty array, inside anyType: they come back as the
// classes they were (the other kinds are in the golden options_of_every_kind).
TEST_P(WireRoundTrip, EveryEnumerationInsideAnyType) {
  const Codec codec(GetParam(), WireTest::Newest());
  const Zamli::Type& anyType = *Zamli::GetNoType<Any>();
  std::vector<std::pair<std::string, Ref<Any>>> values = {{"empty ints", Ref<Any>(new Zamli::Array<int>())}};
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
// Calls through the loopback adapter. (Every member of every managed type
// travels through the codec in HttpCalls.EveryMemberOfEveryManagedType.)

struct LoopbackFixture : ::testing::TestWithParam<Encoding> {
  Codec codec{GetParam(), WireTest::Newest()};
  Zamli::LocalAdapter objects{1};
  Zamli::Wire::LoopbackAdapter wire{codec, objects};
  Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> stub;
  void SetUp() override {
    objects.Register(new PelkTest::HealthServer("health-1"));
    stub = PelkTest::HealthStubOn(wire);
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
  EXPECT_THROW(PelkTest::HealthStubOn(wire, "nobody")->UploadHclDb("ok"), Zamli::MethodFault::Exception)
      << "an unknown object";
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
  auto version = WireTest::Raised<Zamli::Fault::InvalidArgument>(
      [] { Zamli::Wire::FindVersion("pelk.version.version2"); }, "an unknown version");
  ASSERT_NE(version, nullptr);
  EXPECT_NE(Zamli::Wire::Describe(*version).find("pelk.version.version2"), std::string::npos);

  static const JsonAgain format;
  Zamli::Wire::RegisterFormat(format);
  EXPECT_EQ(Zamli::Wire::FormatNames(), (std::vector<std::string>{"json", "json-again", "xml"}));
  WireTest::Raised<Zamli::Fault::InvalidArgument>([] { Zamli::Wire::RegisterFormat(format); }, "a name taken");
  const Codec codec("json-again", newest);
  Zamli::LocalAdapter objects(1);
  Zamli::Wire::LoopbackAdapter wire(codec, objects);
  objects.Register(new PelkTest::HealthServer("health-1"));
  EXPECT_TRUE(PelkTest::HealthStubOn(wire)->UploadHclDb("ok"));
  EXPECT_EQ(wire.LastResponse(), "{\"returnval\":true}");
  EXPECT_THROW(PelkTest::HealthStubOn(wire)->UploadHclDb("fault"), Dp::Ruv::Fault::WexdServiceDown::Exception);
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
  const Zamli::ManagedMethod& method = Upload();
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
  for (const Zamli::ManagedObjectType* type : ManagedTypes()) {
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
  const Zamli::ManagedMethod& upload = Upload();
  document = codec.EncodeRequest(target, upload, {Zamli::Box(std::string("db"))});
  EXPECT_EQ(target.GetRefCount(), 0);
  Zamli::Wire::Request request = codec.DecodeRequest(document);
  EXPECT_EQ(request.method, &upload);
}

INSTANTIATE_TEST_SUITE_P(Encodings, WireRoundTrip, WireTest::BothEncodings(), WireTest::EncodingName);
INSTANTIATE_TEST_SUITE_P(Encodings, LoopbackFixture, WireTest::BothEncodings(), WireTest::EncodingName);

}  // namespace
