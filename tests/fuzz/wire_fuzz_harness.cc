#include "wire_fuzz_harness.h"

#include <haldun/exception.h>
#include <time.h>
#include <zamli/types/accessors.h>
#include <zamli/types/registry.h>
#include <zamli/values/any.h>
#include <zamli/values/compare.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>
#include <zamli/wire/format.h>
#include <zamli/wire/json/json_fast_path.h>
#include <zamli/wire/xml/xml_fast_path.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace WireFuzz {

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

[[noreturn]] void Abort(const std::string& message) {
  std::fprintf(stderr, "wire fuzz: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

const Zamli::Type& Named(const char* name) {
  const Zamli::Type* type = Zamli::TypeRegistry::Instance().FindByName(name);
  if (type == nullptr) Abort(std::string("no type named ") + name);
  return *type;
}

const Zamli::Type* ArrayOf(const Zamli::Type& type) { return type.GetArrayType(); }

const Zamli::ManagedMethod* Method(const char* type, const char* method) {
  auto* managed = dynamic_cast<const Zamli::ManagedObjectType*>(&Named(type));
  const Zamli::ManagedMethod* m = managed == nullptr ? nullptr : managed->FindMethod(method);
  if (m == nullptr) Abort(std::string("no method ") + type + "." + method);
  return m;
}

bool Strict() {
  static const bool strict = std::getenv("PELK_FUZZ_STRICT") != nullptr;
  return strict;
}

bool Trace() {
  static const bool trace = std::getenv("PELK_FUZZ_TRACE") != nullptr;
  return trace;
}

// A document in a finding's report: whole when short, else its ends.
std::string Shown(std::string_view document) {
  constexpr size_t kMax = 2000;
  if (document.size() <= kMax) return std::string(document);
  return std::string(document.substr(0, kMax / 2)) + "\n[... " + std::to_string(document.size() - kMax) +
         " bytes ...]\n" + std::string(document.substr(document.size() - kMax / 2));
}

std::string FaultText(const Zamli::MethodFault::Exception& e) {
  return e.GetFault() == nullptr ? std::string(e.what()) : Zamli::Wire::Describe(*e.GetFault());
}

const Codec& CodecFor(Encoding encoding, size_t version);

// A fault that answers bad input must reach the client: it encodes in both
// encodings and reads back the same.
void MustTravel(const char* what, const Zamli::MethodFault::Exception& e, std::string_view input) {
  if (e.GetFault() == nullptr) Abort(std::string(what) + ": a fault exception without a fault");
  const std::string text = FaultText(e);
  for (Encoding encoding : {Encoding::kXml, Encoding::kJson}) {
    const Codec& codec = CodecFor(encoding, 0);
    try {
      Haldun::Ref<Zamli::MethodFault> back = codec.DecodeFault(codec.EncodeFault(*e.GetFault()));
      if (Zamli::Wire::Describe(*back) != text) {
        Abort(std::string(what) + ": the fault changed on its way back: " + text +
              "\nbecame: " + Zamli::Wire::Describe(*back) + "\ninput:\n" + Shown(input));
      }
    } catch (const std::exception& failure) {
      std::string why = failure.what();
      if (auto* f = dynamic_cast<const Zamli::MethodFault::Exception*>(&failure)) why = FaultText(*f);
      Abort(std::string(what) + ": the fault it raised does not encode: " + text + "\nbecause: " + why + "\ninput:\n" +
            Shown(input));
    }
  }
}

// Runs one decode of the input. True when it decoded; false when it answered
// with an error the input deserves.
template <class Decode>
bool Decoded(const char* what, std::string_view input, Decode&& decode) {
  try {
    decode();
    if (Trace()) std::fprintf(stderr, "%s: decoded\n", what);
    return true;
  } catch (const Zamli::MethodFault::Exception& e) {
    if (Trace()) std::fprintf(stderr, "%s: %s\n", what, FaultText(e).c_str());
    MustTravel(what, e, input);
    return false;
  } catch (const Haldun::Exception& e) {
    if (Strict())
      Abort(std::string(what) + ": an error that is not a fault: " + e.Dump() + "\ninput:\n" + Shown(input));
    if (Trace()) std::fprintf(stderr, "%s: %s\n", what, e.what());
    return false;
  }
  // Any other exception leaves here: the fuzzer reports it as uncaught.
}

// Runs a step of the round trip, which must not fail at all.
template <class Step>
void MustSucceed(const char* what, std::string_view input, Step&& step) {
  try {
    step();
  } catch (const Zamli::MethodFault::Exception& e) {
    Abort(std::string(what) + " failed: " + FaultText(e) + "\ninput:\n" + Shown(input));
  } catch (const Haldun::Exception& e) {
    Abort(std::string(what) + " failed: " + e.Dump() + "\ninput:\n" + Shown(input));
  }
}

// NaN never equals itself, so a value holding one compares unequal to its
// copy; the encodings then stand for the values (NaN writes as "NaN").
bool MayHoldNaN(std::string_view encoded) { return encoded.find("NaN") != std::string_view::npos; }

void ExpectSame(const char* what, const Zamli::Any* first, const Zamli::Any* second, const std::string& encoded,
                const std::string& reencoded, std::string_view input) {
  bool equal = Zamli::AreEqual(first, second) || (MayHoldNaN(encoded) && encoded == reencoded);
  if (!equal) {
    std::string paths;
    if (first != nullptr && second != nullptr) {
      for (const std::string& p : Zamli::ListDifferences(*first, *second)) paths += " " + (p.empty() ? "(root)" : p);
    }
    Abort(std::string(what) + ": the value changed in a round trip; differences:" + paths + "\ninput:\n" +
          Shown(input) + "\nencoded:\n" + Shown(encoded) + "\nencoded again:\n" + Shown(reencoded));
  }
  // Equal values encode the same way: the writers have no other input.
  if (encoded != reencoded) {
    Abort(std::string(what) + ": a value and its decoded copy encode differently\ninput:\n" + Shown(input) +
          "\nencoded:\n" + Shown(encoded) + "\nencoded again:\n" + Shown(reencoded));
  }
}

// Each encoding's fast path accepts only what its checking decoder accepts,
// and decodes it to the same value.
void SetFastPaths(bool enabled) {
  Zamli::Wire::Json::SetFastPath(enabled);
  Zamli::Wire::Xml::SetFastPath(enabled);
}

void ExpectCheckingAgrees(const Codec& codec, std::string_view doc, const Zamli::Type& type, const Zamli::Any* fast) {
  SetFastPaths(false);
  Haldun::Ref<Zamli::Any> checked;
  try {
    checked = codec.DecodeValue(doc, type);
  } catch (const Zamli::MethodFault::Exception& e) {
    Abort("DecodeValue: the fast path accepted what the checking decoder refuses: " + FaultText(e) + "\ninput:\n" +
          Shown(doc));
  }
  SetFastPaths(true);
  if (!Zamli::AreEqual(fast, checked.Get()) && !MayHoldNaN(codec.EncodeValue(fast, type))) {
    Abort("DecodeValue: the fast path and the checking decoder decode differently\ninput:\n" + Shown(doc));
  }
}

void TryValue(const Codec& codec, std::string_view doc, const Zamli::Type& type) {
  Haldun::Ref<Zamli::Any> first;
  if (!Decoded("DecodeValue", doc, [&] { first = codec.DecodeValue(doc, type); })) return;
  ExpectCheckingAgrees(codec, doc, type, first.Get());
  std::string encoded, reencoded;
  Haldun::Ref<Zamli::Any> second;
  MustSucceed("EncodeValue of a decoded value", doc, [&] { encoded = codec.EncodeValue(first.Get(), type); });
  MustSucceed("DecodeValue of an encoded value", encoded, [&] { second = codec.DecodeValue(encoded, type); });
  MustSucceed("EncodeValue of a value decoded twice", encoded,
              [&] { reencoded = codec.EncodeValue(second.Get(), type); });
  ExpectSame(("DecodeValue as " + type.GetName()).c_str(), first.Get(), second.Get(), encoded, reencoded, doc);
}

void TryRequest(const Codec& codec, std::string_view doc) {
  Zamli::Wire::Request first;
  if (!Decoded("DecodeRequest", doc, [&] { first = codec.DecodeRequest(doc); })) return;
  if (first.target.Get() == nullptr || first.method == nullptr) Abort("DecodeRequest: no target or no method");
  std::string encoded, reencoded;
  Zamli::Wire::Request second;
  MustSucceed("EncodeRequest of a decoded request", doc,
              [&] { encoded = codec.EncodeRequest(*first.target, *first.method, first.args); });
  MustSucceed("DecodeRequest of an encoded request", encoded, [&] { second = codec.DecodeRequest(encoded); });
  if (second.target.Get() == nullptr || second.method == nullptr) Abort("DecodeRequest: no target or no method");
  MustSucceed("EncodeRequest of a request decoded twice", encoded,
              [&] { reencoded = codec.EncodeRequest(*second.target, *second.method, second.args); });
  if (second.method != first.method || second.args.size() != first.args.size()) {
    Abort("DecodeRequest: the method or the number of arguments changed in a round trip\ninput:\n" + Shown(doc) +
          "\nencoded:\n" + Shown(encoded));
  }
  ExpectSame("DecodeRequest (target)", first.target.Get(), second.target.Get(), encoded, reencoded, doc);
  for (size_t i = 0; i < first.args.size(); ++i) {
    ExpectSame(("DecodeRequest (argument " + std::to_string(i) + ")").c_str(), first.args[i].Get(),
               second.args[i].Get(), encoded, reencoded, doc);
  }
}

void TryResponse(const Codec& codec, std::string_view doc, const Zamli::ManagedMethod& method) {
  Haldun::Ref<Zamli::Any> first;
  if (!Decoded("DecodeResponse", doc, [&] { first = codec.DecodeResponse(doc, method); })) return;
  std::string encoded, reencoded;
  Haldun::Ref<Zamli::Any> second;
  MustSucceed("EncodeResponse of a decoded result", doc, [&] { encoded = codec.EncodeResponse(method, first.Get()); });
  MustSucceed("DecodeResponse of an encoded result", encoded, [&] { second = codec.DecodeResponse(encoded, method); });
  MustSucceed("EncodeResponse of a result decoded twice", encoded,
              [&] { reencoded = codec.EncodeResponse(method, second.Get()); });
  ExpectSame((std::string("DecodeResponse of ") + method.GetName()).c_str(), first.Get(), second.Get(), encoded,
             reencoded, doc);
}

void TryFault(const Codec& codec, std::string_view doc) {
  Haldun::Ref<Zamli::MethodFault> first;
  if (!Decoded("DecodeFault", doc, [&] { first = codec.DecodeFault(doc); })) return;
  if (first.Get() == nullptr) Abort("DecodeFault: no fault\ninput:\n" + Shown(doc));
  std::string encoded, reencoded;
  Haldun::Ref<Zamli::MethodFault> second;
  MustSucceed("EncodeFault of a decoded fault", doc, [&] { encoded = codec.EncodeFault(*first); });
  MustSucceed("DecodeFault of an encoded fault", encoded, [&] { second = codec.DecodeFault(encoded); });
  MustSucceed("EncodeFault of a fault decoded twice", encoded, [&] { reencoded = codec.EncodeFault(*second); });
  ExpectSame("DecodeFault", first.Get(), second.Get(), encoded, reencoded, doc);
}

const Codec& CodecFor(Encoding encoding, size_t version) {
  static const auto codecs = [] {
    std::vector<std::unique_ptr<Codec>> all;
    for (Encoding e : {Encoding::kXml, Encoding::kJson}) {
      for (const Zamli::Version* v : Versions()) all.push_back(std::make_unique<Codec>(e, *v));
    }
    return all;
  }();
  return *codecs[(encoding == Encoding::kXml ? 0 : Versions().size()) + version];
}

}  // namespace

const std::vector<const Zamli::Type*>& Types() {
  static const std::vector<const Zamli::Type*> types = [] {
    const Zamli::Type& root = Named("qor.cluster.PelkClusterHealthSummary");
    const Zamli::Type& any = *Zamli::GetNoType<Zamli::Any>();
    const Zamli::Type& moRef = *Zamli::GetNoType<Zamli::MoRef>();
    return std::vector<const Zamli::Type*>{
        &root,                                                        // 0: the workload's root
        ArrayOf(root),                                                // 1
        &any,                                                         // 2
        ArrayOf(any),                                                 // 3
        &Named("kettar.MethodFault"),                                 // 4: any fault, named on the wire
        &Named("kettar.fault.InvalidArgument"),                       // 5
        &Named("qor.fault.DwlInCompatibleFault"),                     // 6: holds faults
        ArrayOf(Named("kettar.KeyAnyValue")),                         // 7: anyType inside objects
        &moRef,                                                       // 8
        ArrayOf(moRef),                                               // 9
        &Named("qor.cluster.PelkClusterHealthCategoryEnum"),          // 10: since version 21
        ArrayOf(Named("qor.host.PelkEncryptionIssue")),               // 11
        &Named("kettar.DynamicData"),                                 // 12: any data object, named
        &Named("qor.cluster.PelkHistoricalHealthQuerySpec"),          // 13: dates, references
        &Named("kettar.LocalizableMessage"),                          // 14
        ArrayOf(Named("qor.cluster.PelkClusterHealthCategoryEnum")),  // 15
        &Named("string"),                                             // 16
        &Named("boolean"),                                            // 17
        &Named("int"),                                                // 18
        &Named("long"),                                               // 19
        &Named("float"),                                              // 20
        &Named("dateTime"),                                           // 21
        &Named("binary"),                                             // 22
        ArrayOf(Named("string")),                                     // 23
        ArrayOf(Named("int")),                                        // 24
        ArrayOf(Named("long")),                                       // 25
        &Named("qor.cluster.PelkClusterHealthResultRow"),             // 26: the golden values'
        ArrayOf(Named("qor.option.OptionValue")),                     // 27
    };
  }();
  return types;
}

const std::vector<const Zamli::ManagedMethod*>& Methods() {
  static const std::vector<const Zamli::ManagedMethod*> methods{
      // A large result and optional parameters of every kind, some recent.
      Method("qor.cluster.PelkZovClusterHealthSystem", "queryClusterHealthSummary"),
      // An array result; date-time parameters.
      Method("qor.PelkPhoneHomeSystem", "pelkQueryHistoricalHealthWrapper"),
      // No result.
      Method("qor.cluster.PelkZovClusterHealthSystem", "setUnsilencedHealthCheckRows"),
      // An anyType result.
      Method("qor.pelk.PelkFileServiceEndpointController", "tovelNotifyHostOperation"),
  };
  return methods;
}

const std::vector<const Zamli::Version*>& Versions() {
  static const std::vector<const Zamli::Version*> versions{
      &Zamli::Wire::FindVersion("pelk.version.version25"),
      // Before the recent types and properties: decoding must refuse those.
      &Zamli::Wire::FindVersion("pelk.version.version11"),
  };
  return versions;
}

uint8_t Selector(size_t type, size_t method, size_t version) {
  return static_cast<uint8_t>((type & 31) | (method & 3) << 5 | (version & 1) << 7);
}

namespace {

void RunOnce(Encoding encoding, uint8_t selector, std::string_view doc) {
  const Codec& codec = CodecFor(encoding, selector >> 7);
  TryValue(codec, doc, *Types()[(selector & 31) % Types().size()]);
  TryRequest(codec, doc);
  TryResponse(codec, doc, *Methods()[(selector >> 5) & 3]);
  TryFault(codec, doc);
}

// Decoding is linear in the document: an input may take a fixed time and a
// time per byte (PELK_FUZZ_NS_PER_BYTE, default 2000, generous for
// sanitized code). A document that scans the rest of itself for each of
// its pieces takes far more once it has a few thousand of them.
std::chrono::nanoseconds TimeBudget(size_t bytes) {
  static const long perByte = [] {
    const char* set = std::getenv("PELK_FUZZ_NS_PER_BYTE");
    return set != nullptr ? std::atol(set) : 2000L;
  }();
  return std::chrono::milliseconds(100) + std::chrono::nanoseconds(perByte * static_cast<long>(bytes));
}

// The processor time of this thread: other work on a busy machine does not
// count, so that only the decoding's own work can exceed the budget.
std::chrono::nanoseconds ThreadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

void Run(Encoding encoding, const uint8_t* data, size_t size) {
  if (size < 1) return;
  const uint8_t selector = data[0];
  std::string_view doc(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Timed twice before it counts: the first run may set up what later ones share.
  std::chrono::nanoseconds took{};
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto start = ThreadTime();
    RunOnce(encoding, selector, doc);
    took = ThreadTime() - start;
    if (took <= TimeBudget(size)) return;
  }
  Abort("decoding took " + std::to_string(took.count() / 1000000) + " ms for " + std::to_string(size) +
        " bytes, past the budget of " + std::to_string(TimeBudget(size).count() / 1000000) + " ms\ninput:\n" +
        Shown(doc));
}

}  // namespace WireFuzz
