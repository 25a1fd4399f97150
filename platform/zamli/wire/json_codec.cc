// The JSON encoding: plain objects around the values the shared encoder and
// decoder write and read.
#include <rapidjson/encodedstream.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <zamli/wire/decoder.h>
#include <zamli/wire/encoder.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/json_reader.h>
#include <zamli/wire/json_writer.h>

namespace Zamli::Wire::Json {

namespace {

// Forwards the parser's events to the document, refusing nesting beyond a
// bound: RapidJSON frees documents recursively, so depth must be bounded
// before a document is built, not after.
class BoundedHandler {
 public:
  BoundedHandler(rapidjson::Document& doc, int maxNesting) : doc_(doc), maxNesting_(maxNesting) {}
  bool Null() { return doc_.Null(); }
  bool Bool(bool b) { return doc_.Bool(b); }
  bool Int(int i) { return doc_.Int(i); }
  bool Uint(unsigned u) { return doc_.Uint(u); }
  bool Int64(int64_t i) { return doc_.Int64(i); }
  bool Uint64(uint64_t u) { return doc_.Uint64(u); }
  bool Double(double d) { return doc_.Double(d); }
  bool RawNumber(const char* s, rapidjson::SizeType n, bool copy) { return doc_.RawNumber(s, n, copy); }
  bool String(const char* s, rapidjson::SizeType n, bool copy) { return doc_.String(s, n, copy); }
  bool Key(const char* s, rapidjson::SizeType n, bool copy) { return doc_.Key(s, n, copy); }
  bool StartObject() { return Deeper() && doc_.StartObject(); }
  bool EndObject(rapidjson::SizeType n) {
    --depth_;
    return doc_.EndObject(n);
  }
  bool StartArray() { return Deeper() && doc_.StartArray(); }
  bool EndArray(rapidjson::SizeType n) {
    --depth_;
    return doc_.EndArray(n);
  }
  bool TooDeep() const { return tooDeep_; }

 private:
  bool Deeper() {
    if (++depth_ <= maxNesting_) return true;
    tooDeep_ = true;
    return false;
  }
  rapidjson::Document& doc_;
  int maxNesting_;
  int depth_ = 0;
  bool tooDeep_ = false;
};

// Follows the structure of a document up to where its parser stopped, to
// name the value there: parse errors are reported with a path like any.
class PathTracker : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, PathTracker> {
 public:
  bool Default() {
    Started();
    return true;
  }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    frames_.back().key.assign(name, length);
    return true;
  }
  bool StartObject() { return Open(false); }
  bool StartArray() { return Open(true); }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool EndArray(rapidjson::SizeType) { return Close(); }

  // The value being read: boxes' "_value" members are no part of it.
  std::string ToString() const {
    std::string out;
    for (size_t i = 0; i < frames_.size(); ++i) {
      const Frame& f = frames_[i];
      if (f.array) {
        // A frame inside counted its item when it opened; the innermost has not.
        out += '[' + std::to_string(i + 1 < frames_.size() ? f.items - 1 : f.items) + ']';
      } else if (!f.key.empty() && f.key != "_value") {
        if (!out.empty()) out += '.';
        out += f.key;
      }
    }
    return out;
  }

 private:
  struct Frame {
    bool array;
    int items = 0;
    std::string key;
  };
  void Started() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().items;
  }
  bool Open(bool array) {
    Started();
    frames_.push_back(Frame{array, 0, {}});
    return true;
  }
  bool Close() {
    frames_.pop_back();
    return true;
  }
  std::vector<Frame> frames_;
};

constexpr unsigned kParseFlags =
    rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag;

// Where in the document the parser stopped, as a path.
std::string ErrorPath(std::string_view document) {
  rapidjson::MemoryStream bytes(document.data(), document.size());
  rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(bytes);
  PathTracker tracker;
  rapidjson::Reader().Parse<kParseFlags>(input, tracker);
  return tracker.ToString();
}

void Parse(const Codec& codec, std::string_view document, rapidjson::Document& doc) {
  CheckSize(codec, document);
  // Every value level costs at most two levels of JSON (a box and its value).
  int maxNesting = 2 * codec.GetLimits().maxDepth + 4;
  rapidjson::Reader reader;
  bool tooDeep = false;
  auto generate = [&](rapidjson::Document& target) {
    rapidjson::MemoryStream bytes(document.data(), document.size());
    rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(bytes);
    BoundedHandler handler(target, maxNesting);
    bool ok = !reader.Parse<kParseFlags>(input, handler).IsError();
    tooDeep = handler.TooDeep();
    return ok;
  };
  doc.Populate(generate);
  if (tooDeep) {
    Fail(Problem::kInvalidArgument, "",
         "JSON nested deeper than the limit of " + std::to_string(codec.GetLimits().maxDepth) + " values");
  }
  if (reader.HasParseError()) {
    Fail(Problem::kInvalidArgument, ErrorPath(document),
         "malformed JSON at byte " + std::to_string(reader.GetErrorOffset()) + ": " +
             rapidjson::GetParseError_En(reader.GetParseErrorCode()));
  }
}

const rapidjson::Value* MemberOf(const rapidjson::Value& object, const char* name) {
  auto it = object.FindMember(name);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

const rapidjson::Value& RequireObject(const rapidjson::Document& doc) {
  if (!doc.IsObject()) Fail(Problem::kInvalidArgument, "", "expected a JSON object");
  return doc;
}

Haldun::Ref<MethodFault> FaultOf(Decoder<JsonNode>& d, const rapidjson::Value& fault) {
  d.GetPath().Push("fault");
  Haldun::Ref<Any> value = d.Object(JsonNode(&fault), &MethodFaultType());
  d.GetPath().Pop();
  return Haldun::Ref<MethodFault>(static_cast<MethodFault*>(value.Get()));
}

// A top-level object holding what `content` writes.
template <class Content>
std::string InObject(const Codec& codec, Content&& content) {
  VersionFilter versions(codec.GetVersion());
  std::string out;
  JsonWriter writer(out);
  Encoder<JsonWriter> encoder(writer, versions);
  writer.BeginObject("", TypeTag{});
  content(writer, encoder);
  writer.EndObject("");
  return out;
}

}  // namespace

// The entry points Codec calls, registered as "json".
class JsonFormat final : public Format {
 public:
  std::string_view Name() const override { return "json"; }
  std::string EncodeValue(const Codec& codec, const Any* value, const Type& declared) const override;
  Haldun::Ref<Any> DecodeValue(const Codec& codec, std::string_view document, const Type& declared) const override;
  std::string EncodeRequest(const Codec& codec, const MoRef& target, const ManagedMethod& method,
                            const Args& args) const override;
  Request DecodeRequest(const Codec& codec, std::string_view document) const override;
  std::string EncodeResponse(const Codec& codec, const ManagedMethod& method, const Any* result) const override;
  Haldun::Ref<Any> DecodeResponse(const Codec& codec, std::string_view document,
                                  const ManagedMethod& method) const override;
  std::string EncodeFault(const Codec& codec, const MethodFault& fault) const override;
  Haldun::Ref<MethodFault> DecodeFault(const Codec& codec, std::string_view document) const override;
};

std::string JsonFormat::EncodeValue(const Codec& codec, const Any* value, const Type& declared) const {
  Declared d = DeclaredOf(declared);
  std::string out;
  if (value == nullptr) return "null";
  JsonWriter writer(out);
  VersionFilter versions(codec.GetVersion());
  Encoder<JsonWriter> encoder(writer, versions);
  encoder.Root("", value, d, ArrayStyle::kWrapped, true);
  return out;
}

Haldun::Ref<Any> JsonFormat::DecodeValue(const Codec& codec, std::string_view document, const Type& declared) const {
  Declared d = DeclaredOf(declared);
  rapidjson::Document doc;
  Parse(codec, document, doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  return decoder.Value(JsonNode(&doc), d);
}

std::string JsonFormat::EncodeRequest(const Codec& codec, const MoRef& target, const ManagedMethod& method,
                                      const Args& args) const {
  const MethodInfo& info = CallableMethod(codec, method);
  return InObject(codec, [&](JsonWriter& writer, Encoder<JsonWriter>& encoder) {
    writer.String("_method", info.wsdlName, TypeTag{});
    encoder.Value("_this", &target, Declared{ValueKind::kMoRef}, ArrayStyle::kRepeated, true);
    EncodeParameters(encoder, info, args);
  });
}

Request JsonFormat::DecodeRequest(const Codec& codec, std::string_view document) const {
  rapidjson::Document doc;
  Parse(codec, document, doc);
  const rapidjson::Value& call = RequireObject(doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  const rapidjson::Value* methodName = MemberOf(call, "_method");
  if (methodName == nullptr || !methodName->IsString()) {
    Fail(Problem::kInvalidArgument, "_method", "the call names no method");
  }
  const rapidjson::Value* self = MemberOf(call, "_this");
  JsonNode target(self);
  return DecodeCall(decoder, JsonNode(&call), self ? &target : nullptr, JsonNode::View(*methodName));
}

std::string JsonFormat::EncodeResponse(const Codec& codec, const ManagedMethod& method, const Any* result) const {
  const MethodInfo& info = CallableMethod(codec, method);
  return InObject(codec, [&](JsonWriter&, Encoder<JsonWriter>& encoder) { EncodeResult(encoder, info, result); });
}

Haldun::Ref<Any> JsonFormat::DecodeResponse(const Codec& codec, std::string_view document,
                                            const ManagedMethod& method) const {
  const MethodInfo& info = CallableMethod(codec, method);
  rapidjson::Document doc;
  Parse(codec, document, doc);
  const rapidjson::Value& response = RequireObject(doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  if (const rapidjson::Value* fault = MemberOf(response, "fault")) FaultOf(decoder, *fault)->ThrowInternal();
  return DecodeResult(decoder, JsonNode(&response), info);
}

std::string JsonFormat::EncodeFault(const Codec& codec, const MethodFault& fault) const {
  const DataObjectType& type = FaultTypeFor(VersionFilter(codec.GetVersion()), fault);
  return InObject(codec, [&](JsonWriter& writer, Encoder<JsonWriter>& encoder) {
    // Named by its class even where the declaration would imply it.
    encoder.NamedObject("fault", fault, type);
    writer.String("faultstring", Describe(fault), TypeTag{});
  });
}

Haldun::Ref<MethodFault> JsonFormat::DecodeFault(const Codec& codec, std::string_view document) const {
  rapidjson::Document doc;
  Parse(codec, document, doc);
  const rapidjson::Value& response = RequireObject(doc);
  const rapidjson::Value* fault = MemberOf(response, "fault");
  if (fault == nullptr) Fail(Problem::kInvalidArgument, "", "not a fault document");
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  return FaultOf(decoder, *fault);
}

const JsonFormat kJsonFormat;
const FormatRegistration kRegistration(kJsonFormat);

}  // namespace Zamli::Wire::Json
