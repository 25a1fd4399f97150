// Encoding for an older version of the namespace: what the version does not
// include is left out, travels as a base class, or is refused; decoding
// refuses it. The cases are found by scanning the records, so they follow
// the schema.
#include <gtest/gtest.h>
#include <pelk/all.h>
#include <pelktest/pelktest/Everything.h>
#include <property_slot.h>
#include <qor/all.h>
#include <wire_support.h>
#include <zamli/wire/format.h>

#include <algorithm>
#include <regex>

namespace {

using Haldun::Ref;
using WireTest::Explain;
using WireTest::Includes;
using Zamli::Any;
using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

// The namespace's versions, oldest first.
std::vector<const Zamli::Version*> PelkVersions() {
  std::vector<const Zamli::Version*> v = Zamli::TypeRegistry::Instance().FindNamespace("pelk")->GetVersions();
  std::reverse(v.begin(), v.end());
  return v;
}

const Zamli::Version* OldestIncluding(const Zamli::Type& type) {
  for (const Zamli::Version* v : PelkVersions()) {
    if (Includes(*v, type)) return v;
  }
  return nullptr;
}

bool IsValueKind(const Zamli::PropertyInfo& p) {
  return !(p.flags & Zamli::kArrayFlag) && Zamli::IsPrimitive(Zamli::ValueKindOf(p.type));
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

class WireVersions : public ::testing::TestWithParam<Encoding> {};

// Over the whole schema: a value with only value-kind properties set travels
// to the oldest version of its type without what that version does not
// include, the newest version reads it the same, and the old version refuses
// what the newest writes.
TEST_P(WireVersions, EveryPropertyAddedLaterIsLeftOutForTheVersionBefore) {
  const Codec newest(GetParam(), WireTest::Newest());
  int types = 0;
  for (const Zamli::DataObjectType* type : WireTest::DataTypesOf("pelk")) {
    const Zamli::Version* version = OldestIncluding(*type);
    if (version == nullptr || version == &WireTest::Newest()) continue;
    Ref<Zamli::DynamicData> value = WireTest::Filled(*type, 0);
    bool leftOut = false;
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      leftOut |=
          p.owner->GetDataTypeInfo()->isPropertySet(value.Get(), p.index) && !Includes(*version, p.info->version);
    }
    if (!leftOut) continue;
    ++types;
    const std::string what = type->GetName() + " at " + version->GetName();
    const Codec old(GetParam(), *version);
    try {
      const std::string document = old.EncodeValue(value.Get(), *type);
      Ref<Zamli::DynamicData> expected = AsSeenBy(*value, *type, *version);
      for (const Codec* reader : {&old, &newest}) {
        Ref<Any> back = reader->DecodeValue(document, *type);
        EXPECT_TRUE(Zamli::AreEqual(expected.Get(), back.Get()))
            << what << " read at " << reader->GetVersion().GetName() << ": "
            << WireTest::Differences(expected.Get(), back.Get()) << "\n"
            << document;
      }
      const std::string current = newest.EncodeValue(value.Get(), *type);
      WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, *type); }, what);
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << ": " << Explain(e);
    }
  }
  RecordProperty("types", types);
  EXPECT_GT(types, 0) << "the schema has no property added after its type";
}

// The production schema has no required property added after its type; the
// tests' own interface has one: Everything.added, since its second version.
TEST_P(WireVersions, ARequiredPropertyTheVersionDoesNotIncludeIsRefused) {
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
  try {
    std::string document = since.EncodeValue(value.Get(), type);
    EXPECT_TRUE(Zamli::AreEqual(value.Get(), since.DecodeValue(document, type).Get()));
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
  } catch (const std::exception& e) {
    ADD_FAILURE() << Explain(e);
  }
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
      const Zamli::Version* version = nullptr;
      for (const Zamli::Version* v : PelkVersions()) {
        if (Includes(*v, *type) && Includes(*v, info.version)) {
          version = v;
          break;
        }
      }
      if (version == nullptr) continue;
      for (int p = 0; info.params[p].type != nullptr; ++p) {
        if (!Includes(*version, info.params[p].version)) return {type, type->GetMember(m), p, version};
      }
    }
  }
  return {};
}

TEST_P(WireVersions, AParameterTheVersionDoesNotIncludeIsLeftOutAndRefusedWhenRead) {
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
  try {
    std::string document = old.EncodeRequest(*target, *later.method, args);
    for (const Codec* reader : {&old, &newest}) {
      Zamli::Wire::Request request = reader->DecodeRequest(document);
      EXPECT_EQ(request.method, later.method) << what;
      ASSERT_EQ(request.args.size(), args.size()) << what;
      for (size_t a = 0; a < args.size(); ++a) {
        const Zamli::PropertyInfo& p = info.params[a];
        if (!Includes(*later.version, p.version)) {
          EXPECT_EQ(request.args[a], nullptr) << what << ": " << p.name << " travelled";
        } else if (IsValueKind(p)) {
          EXPECT_TRUE(Zamli::AreEqual(args[a].Get(), request.args[a].Get())) << what << ": " << p.name;
        } else {
          EXPECT_NE(request.args[a], nullptr) << what << ": " << p.name;
        }
      }
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << Explain(e);
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

TEST_P(WireVersions, AValueOfANewerClassTravelsAsItsNearestIncludedBase) {
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
    try {
      std::string document = old.EncodeValue(value.Get(), *declared);
      EXPECT_EQ(document.find(type.GetWsdlName() + "\""), std::string::npos) << what << " names its class\n"
                                                                             << document;
      Ref<Any> back = old.DecodeValue(document, *declared);
      ASSERT_NE(back, nullptr) << what;
      EXPECT_EQ(back->_GetType(), &base) << what << " as " << declared->GetName();
      EXPECT_TRUE(Zamli::AreEqual(expected.Get(), back.Get()))
          << what << ": " << WireTest::Differences(expected.Get(), back.Get());
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << " declared " << declared->GetName() << ": " << Explain(e);
    }
  }
  // Inside an object: a property declared as the base, or as anyType.
  Ref<Zamli::KeyAnyValue> holder(new Zamli::KeyAnyValue());
  holder->key = "k";
  holder->value = Ref<Any>(value.Get());
  try {
    Ref<Any> back = old.DecodeValue(old.EncodeValue(holder.Get(), *holder->_GetType()), *holder->_GetType());
    auto* pair = dynamic_cast<Zamli::KeyAnyValue*>(back.Get());
    ASSERT_NE(pair, nullptr);
    EXPECT_TRUE(Zamli::AreEqual(expected.Get(), pair->value.Get())) << what << " in anyType";
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << " in anyType: " << Explain(e);
  }
  // The version reading a document that names the newer class refuses it.
  std::string current = newest.EncodeValue(value.Get(), base);
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, base); }, what);
  current = newest.EncodeValue(value.Get(), *Zamli::GetNoType<Any>());
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, *Zamli::GetNoType<Any>()); }, what);
  // And a value declared as a type the version does not include.
  current = newest.EncodeValue(value.Get(), type);
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.DecodeValue(current, type); }, what);
}

TEST_P(WireVersions, AFaultOfANewerClassIsRaisedAsItsNearestIncludedBase) {
  NewerClass newer = FirstClassNewerThanItsBase(true);
  ASSERT_NE(newer.type, nullptr);
  const Zamli::DataObjectType& base = *newer.type->GetBase();
  const std::string what = newer.type->GetName() + " at " + newer.version->GetName();
  const Codec old(GetParam(), *newer.version);
  Ref<Zamli::DynamicData> filled = WireTest::Filled(*newer.type, 0);
  auto* fault = dynamic_cast<Zamli::MethodFault*>(filled.Get());
  ASSERT_NE(fault, nullptr);
  Ref<Zamli::DynamicData> expected = AsSeenBy(*fault, base, *newer.version);
  try {
    std::string document = old.EncodeFault(*fault);
    Ref<Zamli::MethodFault> back = old.DecodeFault(document);
    ASSERT_NE(back, nullptr) << what;
    EXPECT_EQ(back->_GetType(), &base) << what;
    EXPECT_TRUE(Zamli::AreEqual(expected.Get(), back.Get()))
        << what << ": " << WireTest::Differences(expected.Get(), back.Get());
    const Zamli::ManagedMethod& upload =
        *Zamli::GetMoType<Qor::Cluster::PelkZovClusterHealthSystem>()->FindMethod("uploadHclDb");
    try {
      old.DecodeResponse(document, upload);
      ADD_FAILURE() << what << ": no fault raised";
    } catch (const Zamli::MethodFault::Exception& e) {
      std::unique_ptr<Zamli::MethodFault::Exception> model(
          static_cast<Zamli::MethodFault*>(expected.Get())->CreateException());
      const Zamli::MethodFault::Exception& modelRef = *model;
      EXPECT_EQ(typeid(e), typeid(modelRef)) << what;
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << Explain(e);
  }
}

TEST_P(WireVersions, AValueWithNoIncludedClassIsLeftOutOrRefusedWhenRequired) {
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
  try {
    Ref<Any> back = old.DecodeValue(old.EncodeValue(option.Get(), *option->_GetType()), *option->_GetType());
    auto* decoded = dynamic_cast<Qor::Option::OptionValue*>(back.Get());
    ASSERT_NE(decoded, nullptr) << what;
    EXPECT_EQ(decoded->key, "k");
    EXPECT_EQ(decoded->value, nullptr) << what << " travelled as " << decoded->value->_GetType()->GetName();
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << Explain(e);
  }
  // kettar.KeyAnyValue.value is a required anyType: refused.
  Ref<Zamli::KeyAnyValue> pair(new Zamli::KeyAnyValue());
  pair->key = "k";
  pair->value = option->value;
  WireTest::Raised<Zamli::Fault::NotSupported>([&] { old.EncodeValue(pair.Get(), *pair->_GetType()); }, what);
}

// A method that a version including its type does not include.
TEST_P(WireVersions, AMethodTheVersionDoesNotIncludeIsRefusedBothWays) {
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

TEST_P(WireVersions, EveryVersionOfTheNamespaceMakesACodec) {
  for (const Zamli::Version* v : PelkVersions()) {
    EXPECT_EQ(&Zamli::Wire::FindVersion(v->GetName()), v);
    Codec codec(GetParam(), *v);
    EXPECT_EQ(&codec.GetVersion(), v);
    EXPECT_EQ(codec.GetFormat().Name(), GetParam() == Encoding::kXml ? "xml" : "json");
  }
  auto fault = WireTest::Raised<Zamli::Fault::InvalidArgument>(
      [] { Zamli::Wire::FindVersion("pelk.version.version2"); }, "an unknown version");
  if (fault) {
    EXPECT_NE(Zamli::Wire::Describe(*fault).find("pelk.version.version2"), std::string::npos)
        << Zamli::Wire::Describe(*fault);
  }
}

INSTANTIATE_TEST_SUITE_P(Encodings, WireVersions, ::testing::Values(Encoding::kXml, Encoding::kJson),
                         [](const ::testing::TestParamInfo<Encoding>& info) { return WireTest::NameOf(info.param); });

}  // namespace
