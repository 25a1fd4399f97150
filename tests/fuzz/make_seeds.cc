// Writes the seed inputs of the wire fuzzers: small documents made by the
// encoders (values of the declared types the fuzzers try, calls, results,
// faults), each behind the selector byte that makes the fuzzer read it as
// it was written, plus a few broken ones.
//
//   wire_fuzz_seeds DIR   writes DIR/xml/* and DIR/json/*
//
// The committed corpus (tests/fuzz/corpus/) was made with this program and
// then minimised with libFuzzer's -merge=1.
#include <filled.h>
#include <haldun/date_time.h>
#include <haldun/exception.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>
#include <zamli/values/primitive.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>

#include "wire_fuzz_harness.h"

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;
using AnyRef = Haldun::Ref<Zamli::Any>;

const Zamli::Type& Named(const char* name) {
  const Zamli::Type* type = Zamli::TypeRegistry::Instance().FindByName(name);
  if (type == nullptr) throw Haldun::NotFoundException(std::string("no type named ") + name);
  return *type;
}

const Zamli::DataObjectType& DataType(const char* name) {
  return dynamic_cast<const Zamli::DataObjectType&>(Named(name));
}

size_t TypeIndex(const Zamli::Type& type) {
  const auto& types = WireFuzz::Types();
  for (size_t i = 0; i < types.size(); ++i) {
    if (types[i] == &type) return i;
  }
  throw Haldun::NotFoundException("not a type of the fuzzers: " + type.GetName());
}

AnyRef EnumBox(const char* name, int index) {
  auto& type = dynamic_cast<const Zamli::EnumType&>(Named(name));
  return AnyRef(type.GetFuncs().BoxValue(index));
}

AnyRef EnumArray(const char* name, std::vector<int> indexes) {
  auto& type = dynamic_cast<const Zamli::EnumType&>(Named(name));
  Zamli::Array<std::string> tags;
  for (int i : indexes) tags.Append(type.GetTag(i));
  return AnyRef(type.GetFuncs().ArrayFromTags(&tags, &type));
}

template <class T>
AnyRef Values(std::vector<T> values) {
  return AnyRef(new Zamli::Array<T>(std::move(values)));
}

AnyRef Ref(const char* type, const char* id) { return AnyRef(new Zamli::MoRef(type, id)); }

AnyRef Refs() {
  auto* array = new Zamli::DataArray<Zamli::MoRef>();
  array->Append(new Zamli::MoRef("qor.HostSystem", "host-1"));
  array->Append(new Zamli::MoRef("qor.HostSystem", "host-2"));
  return AnyRef(array);
}

AnyRef Dynamic(std::vector<AnyRef> items) {
  auto* array = new Zamli::DynamicArray();
  for (const AnyRef& item : items) array->AppendAny(item.Get());
  return AnyRef(array);
}

AnyRef KeyValues() {
  auto* array = new Zamli::DataArray<Zamli::KeyAnyValue>();
  const AnyRef values[] = {Zamli::Box(7), Zamli::Box(std::string("text")), Ref("qor.HostSystem", "host-9"),
                           Values<std::string>({"a", "b"}),
                           PelkTest::Filled(DataType("qor.cluster.PelkHistoricalHealthQuerySpec"), 1)};
  int n = 0;
  for (const AnyRef& value : values) {
    auto* kv = new Zamli::KeyAnyValue();
    kv->key = "key-" + std::to_string(n++);
    kv->value = value;
    array->Append(kv);
  }
  return AnyRef(array);
}

Haldun::System::DateTime When(int offsetMinutes = 0) {
  return Haldun::System::DateTime::FromMicroseconds(1796551200500000, offsetMinutes);
}

// A value for a parameter or result record: small, every kind covered.
AnyRef Sample(const Zamli::PropertyInfo& p) {
  bool array = p.flags & Zamli::kArrayFlag;
  const Zamli::TypeInfo* info = p.type;
  if (info == &Zamli::gAnyTypeInfo) return Zamli::Box(std::string("any"));
  if (info == &Zamli::gStringTypeInfo) {
    return array ? Values<std::string>({"s-1", "s-2"}) : Zamli::Box(std::string("s"));
  }
  if (info == &Zamli::gIntTypeInfo) return array ? Values<int>({1, -2}) : Zamli::Box(42);
  if (info == &Zamli::gLongTypeInfo) return array ? Values<long>({1L << 40, -3}) : Zamli::Box(1L << 40);
  if (info == &Zamli::gBoolTypeInfo) return Zamli::Box(true);
  if (info == &Zamli::gFloatTypeInfo) return Zamli::Box(2.5f);
  if (info == &Zamli::gDateTimeTypeInfo) return Zamli::Box(When(60));
  if (info == &Zamli::gBinaryTypeInfo) return Zamli::Box(Zamli::Binary{0, 1, 254, 255});
  const Zamli::Type* type = Zamli::TypeRegistry::Instance().FindByTypeInfo(info);
  if (type == nullptr) throw Haldun::NotFoundException(std::string("unregistered type ") + info->name);
  if (info->kind == Zamli::kManagedKind) {
    return array ? Refs() : Ref(type->GetName().c_str(), "obj-1");
  }
  if (auto* e = dynamic_cast<const Zamli::EnumType*>(type)) {
    return array ? EnumArray(e->GetName().c_str(), {0, e->GetTagCount() - 1}) : EnumBox(e->GetName().c_str(), 0);
  }
  auto* data = dynamic_cast<const Zamli::DataObjectType*>(type);
  if (data == nullptr) return AnyRef();
  if (!array) return PelkTest::Filled(*data, 1);
  AnyRef holder(data->GetDataTypeInfo()->createArray());
  static_cast<Zamli::DataArrayBase*>(holder.Get())->AppendAny(PelkTest::Filled(*data, 1).Get());
  return holder;
}

std::vector<AnyRef> Arguments(const Zamli::ManagedMethod& method) {
  std::vector<AnyRef> args;
  for (const Zamli::PropertyInfo* p = method.GetMethodInfo()->params; p != nullptr && p->type != nullptr; ++p) {
    args.push_back(Sample(*p));
  }
  return args;
}

class Writer {
 public:
  Writer(std::filesystem::path dir, Encoding encoding) : dir_(std::move(dir)), encoding_(encoding) {
    std::filesystem::create_directories(dir_);
  }

  const Codec& CodecFor(size_t version) {
    if (!codecs_[version]) codecs_[version] = std::make_unique<Codec>(encoding_, *WireFuzz::Versions()[version]);
    return *codecs_[version];
  }

  // One seed: the selector, then what `make` encodes. A value the encoder
  // refuses is reported and left out, so that one refusal does not cost the
  // whole corpus.
  void Seed(const std::string& name, uint8_t selector, const std::function<std::string(const Codec&)>& make) {
    std::string document;
    try {
      document = make(CodecFor(selector >> 7));
    } catch (const Zamli::MethodFault::Exception& e) {
      std::fprintf(stderr, "wire_fuzz_seeds: %s left out: %s\n", name.c_str(),
                   Zamli::Wire::Describe(*e.GetFault()).c_str());
      ++refused_;
      return;
    }
    Raw(name, selector, document);
    last_ = document;
  }

  void Raw(const std::string& name, uint8_t selector, const std::string& document) {
    std::ofstream out(dir_ / name, std::ios::binary);
    out.put(static_cast<char>(selector));
    out << document;
  }

  void Value(const std::string& name, const Zamli::Type& declared, const AnyRef& value, size_t version = 0) {
    Seed(name, WireFuzz::Selector(TypeIndex(declared), 0, version),
         [&](const Codec& c) { return c.EncodeValue(value.Get(), declared); });
  }

  const std::string& Last() const { return last_; }
  int Refused() const { return refused_; }

 private:
  std::filesystem::path dir_;
  Encoding encoding_;
  std::unique_ptr<Codec> codecs_[2];
  std::string last_;
  int refused_ = 0;
};

void WriteSeeds(Writer& w, Encoding encoding) {
  const auto& types = WireFuzz::Types();
  const auto& methods = WireFuzz::Methods();
  const Zamli::DataObjectType& root = PelkTest::WorkloadRootType();

  // Values of the declared types.
  w.Value("value-root", root, PelkTest::Filled(root, 1));
  w.Value("value-root-old-version", root, PelkTest::Filled(root, 1), 1);
  std::string rootDocument = w.Last();
  {
    AnyRef roots(root.GetDataTypeInfo()->createArray());
    for (int i = 0; i < 2; ++i)
      static_cast<Zamli::DataArrayBase*>(roots.Get())->AppendAny(PelkTest::Filled(root, 0).Get());
    w.Value("value-root-array", *types[1], roots);
  }
  const Zamli::Type& any = *types[2];
  w.Value("any-int", any, Zamli::Box(5));
  w.Value("any-long", any, Zamli::Box(-(1L << 62)));
  w.Value("any-boolean", any, Zamli::Box(false));
  w.Value("any-float", any, Zamli::Box(-0.1f));
  w.Value("any-nan", any, Zamli::Box(std::numeric_limits<float>::quiet_NaN()));
  w.Value("any-string", any, Zamli::Box(std::string("a<b>&\"c\" \xc3\xa9\xe2\x82\xac\t\n")));
  w.Value("any-datetime", any, Zamli::Box(When(-330)));
  w.Value("any-binary", any, Zamli::Box(Zamli::Binary{'h', 'i', 0, 0xff}));
  w.Value("any-moref", any, Ref("qor.ClusterComputeResource", "domain-c8"));
  w.Value("any-strings", any, Values<std::string>({"x", "", "z"}));
  w.Value("any-ints", any, Values<int>({std::numeric_limits<int>::min(), 0, 7}));
  w.Value("any-longs", any, Values<long>({std::numeric_limits<long>::max()}));
  w.Value("any-morefs", any, Refs());
  w.Value("any-enum", any, EnumBox("qor.cluster.PelkClusterHealthCategoryEnum", 1));
  w.Value("any-enums", any, EnumArray("qor.host.PelkEncryptionIssue", {0, 1}));
  w.Value("any-object", any, PelkTest::Filled(DataType("qor.cluster.PelkHistoricalHealthQuerySpec"), 1));
  w.Value("any-nested", any, Dynamic({Zamli::Box(1), Dynamic({Zamli::Box(std::string("deep"))})}));
  w.Value("anys", *types[3], Dynamic({Zamli::Box(1), Zamli::Box(std::string("two")), Ref("qor.HostSystem", "h")}));
  {
    Haldun::Ref<Zamli::DynamicData> fault = PelkTest::Filled(DataType("kettar.fault.InvalidArgument"), 2);
    w.Value("fault-as-root", *types[4], fault);
    w.Value("fault-invalid-argument", *types[5], fault);
    w.Value("fault-holding-faults", *types[6], PelkTest::Filled(DataType("qor.fault.DwlInCompatibleFault"), 2));
  }
  w.Value("key-values", *types[7], KeyValues());
  w.Value("moref", *types[8], Ref("qor.cluster.PelkZovClusterHealthSystem", "health-1"));
  w.Value("morefs", *types[9], Refs());
  w.Value("enum", *types[10], EnumBox("qor.cluster.PelkClusterHealthCategoryEnum", 0));
  w.Value("enums", *types[11], EnumArray("qor.host.PelkEncryptionIssue", {1, 0}));
  w.Value("data-derived", *types[12], PelkTest::Filled(DataType("qor.cluster.PelkHistoricalHealthQuerySpec"), 1));
  w.Value("data-spec", *types[13], PelkTest::Filled(DataType("qor.cluster.PelkHistoricalHealthQuerySpec"), 1));
  w.Value("message", *types[14], PelkTest::Filled(DataType("kettar.LocalizableMessage"), 2));
  w.Value("null-root", root, AnyRef());
  w.Value("string", *types[16], Zamli::Box(std::string("plain")));
  w.Value("boolean", *types[17], Zamli::Box(true));
  w.Value("int", *types[18], Zamli::Box(-17));
  w.Value("long", *types[19], Zamli::Box(9007199254740993L));
  w.Value("float", *types[20], Zamli::Box(std::numeric_limits<float>::infinity()));
  w.Value("float-small", *types[20], Zamli::Box(1.0e-45f));
  w.Value("datetime", *types[21], Zamli::Box(When()));
  w.Value("binary", *types[22], Zamli::Box(Zamli::Binary{1, 2, 3, 4, 5}));
  w.Value("strings", *types[23], Values<std::string>({"one", "two"}));
  w.Value("ints", *types[24], Values<int>({1, 2, 3}));
  w.Value("longs", *types[25], Values<long>({-1, 1}));

  // Calls and their results.
  const Zamli::MoRef target("qor.cluster.PelkZovClusterHealthSystem", "health-1");
  for (size_t m = 0; m < methods.size(); ++m) {
    const Zamli::ManagedMethod& method = *methods[m];
    Zamli::MoRef self(method.GetOwner()->GetName(), "obj-1");
    std::string name = method.GetName();
    std::vector<AnyRef> args = Arguments(method);
    w.Seed("request-" + name, WireFuzz::Selector(0, m, 0),
           [&](const Codec& c) { return c.EncodeRequest(self, method, args); });
    AnyRef result;
    if (method.GetMethodInfo()->result.type != nullptr) result = Sample(method.GetMethodInfo()->result);
    w.Seed("response-" + name, WireFuzz::Selector(0, m, 0),
           [&](const Codec& c) { return c.EncodeResponse(method, result.Get()); });
  }
  {
    const Zamli::ManagedMethod& query = *methods[0];
    std::vector<AnyRef> args(Arguments(query).size());  // every optional absent
    args[0] = Ref("qor.ClusterComputeResource", "domain-c8");
    w.Seed("request-old-version", WireFuzz::Selector(0, 0, 1),
           [&](const Codec& c) { return c.EncodeRequest(target, query, Arguments(query)); });
    w.Seed("request-few-arguments", WireFuzz::Selector(0, 0, 0),
           [&](const Codec& c) { return c.EncodeRequest(target, query, args); });
  }

  // Faults as servers answer them.
  w.Seed("fault-document", 0, [](const Codec& c) {
    auto fault = PelkTest::Filled(DataType("kettar.fault.InvalidArgument"), 2);
    return c.EncodeFault(static_cast<const Zamli::MethodFault&>(*fault));
  });
  w.Seed("fault-document-nested", 0, [](const Codec& c) {
    auto fault = PelkTest::Filled(DataType("qor.fault.DwlInCompatibleFault"), 2);
    return c.EncodeFault(static_cast<const Zamli::MethodFault&>(*fault));
  });

  // Broken documents: cut short, and hostile shapes.
  w.Raw("broken-truncated", 0, rootDocument.substr(0, rootDocument.size() / 2));
  if (encoding == Encoding::kXml) {
    w.Raw("broken-entities", WireFuzz::Selector(16, 0, 0),
          "<!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><string>&b;&b;</string>");
    std::string deep = "<anyType xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"ArrayOfAnyType\">";
    for (int i = 0; i < 100; ++i) deep += "<anyType xsi:type=\"ArrayOfAnyType\">";
    for (int i = 0; i < 101; ++i) deep += "</anyType>";
    w.Raw("broken-deep", WireFuzz::Selector(2, 0, 0), deep);
    w.Raw("broken-int", WireFuzz::Selector(18, 0, 0), "<int>2147483648</int>");
    w.Raw("broken-base64", WireFuzz::Selector(22, 0, 0), "<base64Binary>AAA</base64Binary>");
    w.Raw("broken-utf8", WireFuzz::Selector(16, 0, 0), "<string>\xc3\x28\xed\xa0\x80</string>");
    w.Raw("broken-nul", WireFuzz::Selector(16, 0, 0), "<string>a&#0;b&#xD800;</string>");
    w.Raw("broken-type", WireFuzz::Selector(2, 0, 0),
          "<anyType xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"NoSuchType\">1</anyType>");
  } else {
    w.Raw("broken-duplicate", WireFuzz::Selector(13, 0, 0), "{\"start\":\"2026-12-06T10:00:00Z\",\"start\":\"x\"}");
    w.Raw("broken-deep", WireFuzz::Selector(3, 0, 0), std::string(300, '[') + std::string(300, ']'));
    w.Raw("broken-int", WireFuzz::Selector(18, 0, 0), "2147483648");
    w.Raw("broken-float", WireFuzz::Selector(20, 0, 0), "1e39");
    w.Raw("broken-utf8", WireFuzz::Selector(16, 0, 0), "\"\\ud800\xc3\x28\"");
    w.Raw("broken-box", WireFuzz::Selector(2, 0, 0), "{\"_typeName\":\"int\",\"_value\":\"5\"}");
    w.Raw("broken-type", WireFuzz::Selector(12, 0, 0), "{\"_typeName\":\"NoSuchType\"}");
  }
  // Hostile shapes (tests/fuzz/corpus/*/hostile-*): many pieces of one
  // text, many attributes or members, long numbers, split references,
  // duplicates, envelopes with more than one call; kept small, the fuzzer
  // grows them.
  std::string pieces, items;
  for (int i = 0; i < 200; ++i) pieces += "a<!---->";
  for (int i = 0; i < 300; ++i) items += encoding == Encoding::kXml ? "<int>1</int>" : "1,";
  if (encoding == Encoding::kXml) {
    w.Raw("hostile-comments", WireFuzz::Selector(16, 0, 0), "<string>" + pieces + "</string>");
    w.Raw("hostile-items", WireFuzz::Selector(24, 0, 0), "<ArrayOfInt>" + items + "</ArrayOfInt>");
    w.Raw("hostile-long-number", WireFuzz::Selector(20, 0, 0), "<float>0.5" + std::string(400, '0') + "1e-3</float>");
    w.Raw("hostile-split-reference", WireFuzz::Selector(8, 0, 0),
          "<ManagedObjectReference type=\"HostSystem\">host<!---->-<![CDATA[1]]></ManagedObjectReference>");
  } else {
    w.Raw("hostile-items", WireFuzz::Selector(24, 0, 0), "[" + items + "1]");
    w.Raw("hostile-long-number", WireFuzz::Selector(20, 0, 0), "0.5" + std::string(400, '0') + "1e-3");
    w.Raw("hostile-duplicate-type", WireFuzz::Selector(2, 0, 0),
          "{\"_typeName\":\"int\",\"_typeName\":\"long\",\"_value\":1}");
    w.Raw("hostile-surrogate", WireFuzz::Selector(16, 0, 0), "\"a\\udc00\"");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wire_fuzz_seeds DIR\n");
    return 2;
  }
  try {
    int refused = 0;
    for (Encoding e : {Encoding::kXml, Encoding::kJson}) {
      Writer w(std::filesystem::path(argv[1]) / (e == Encoding::kXml ? "xml" : "json"), e);
      WriteSeeds(w, e);
      refused += w.Refused();
    }
    return refused == 0 ? 0 : 1;
  } catch (const Zamli::MethodFault::Exception& e) {
    std::fprintf(stderr, "wire_fuzz_seeds: %s\n", Zamli::Wire::Describe(*e.GetFault()).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wire_fuzz_seeds: %s\n", e.what());
  }
  return 1;
}
