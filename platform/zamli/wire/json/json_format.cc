// The JSON encoding: plain objects around the values the shared encoder and
// decoder write and read.
#include <rapidjson/encodedstream.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <zamli/wire/decoder.h>
#include <zamli/wire/encoder.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/json/json_fast_path.h>
#include <zamli/wire/json/json_reader.h>
#include <zamli/wire/json/json_writer.h>

#include <algorithm>
#include <cstring>

namespace Zamli::Wire::Json {

namespace {

// Forwards the parser's events to the document, refusing nesting beyond a
// bound: RapidJSON frees documents recursively, so depth must be bounded
// before a document is built, not after.
// True unless an escape made a lone surrogate, which the parser lets by:
// text must stay valid UTF-8 to travel again. Surrogates encode as 0xED.
bool GoodText(const char* s, rapidjson::SizeType n) {
  return std::memchr(s, 0xed, n) == nullptr || IsValidUtf8(std::string_view(s, n));
}

class BoundedHandler {
 public:
  // `escapes`: whether the document has a \u escape, the only way to a
  // lone surrogate in text that is otherwise valid UTF-8.
  BoundedHandler(JsonDocument& doc, int maxNesting, bool escapes)
      : doc_(doc), maxNesting_(maxNesting), escapes_(escapes) {}
  bool Null() { return doc_.Null(); }
  bool Bool(bool b) { return doc_.Bool(b); }
  // Numbers arrive as text (kParseNumbersAsStringsFlag), kept marked.
  bool Int(int) { return false; }
  bool Uint(unsigned) { return false; }
  bool Int64(int64_t) { return false; }
  bool Uint64(uint64_t) { return false; }
  bool Double(double) { return false; }
  bool RawNumber(const char* s, rapidjson::SizeType n, bool copy) {
    if (!copy) {
      // In place: the byte before a number is a separator, a blank or the
      // spare byte before the text, which the parser has passed.
      char* marked = const_cast<char*>(s) - 1;
      *marked = kNumberMark;
      return doc_.String(marked, n + 1, false);
    }
    number_.assign(1, kNumberMark);
    number_.append(s, n);
    return doc_.String(number_.data(), n + 1, true);
  }
  bool String(const char* s, rapidjson::SizeType n, bool copy) { return Checked(s, n) && doc_.String(s, n, copy); }
  bool Key(const char* s, rapidjson::SizeType n, bool copy) { return Checked(s, n) && doc_.Key(s, n, copy); }
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
  bool BadText() const { return badText_; }

 private:
  bool Checked(const char* s, rapidjson::SizeType n) {
    badText_ = escapes_ && !GoodText(s, n);
    return !badText_;
  }
  bool Deeper() {
    if (++depth_ <= maxNesting_) return true;
    tooDeep_ = true;
    return false;
  }
  JsonDocument& doc_;
  int maxNesting_;
  bool escapes_;
  int depth_ = 0;
  bool tooDeep_ = false;
  bool badText_ = false;
  std::string number_;
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
    return GoodText(name, length);
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    Started();
    return GoodText(text, length);
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
    rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;

// Text already known to be valid UTF-8, read in place.
constexpr unsigned kInsituFlags =
    rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;

using Reader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, CountingAllocator>;

// A copy of the document that the parser decodes its strings into: a spare
// byte before it (for a number's mark), a NUL after it, and blank room for
// the parser's reads of sixteen bytes at a time. It counts against the
// decode's budget.
class InsituText {
 public:
  InsituText() = default;
  InsituText(const InsituText&) = delete;
  InsituText& operator=(const InsituText&) = delete;
  ~InsituText() { CountingAllocator::Free(block_); }

  void Assign(std::string_view document) {
    block_ = static_cast<char*>(CountingAllocator().Malloc(document.size() + kSpare + kRoom));
    block_[0] = ' ';
    std::memcpy(block_ + kSpare, document.data(), document.size());
    std::memset(block_ + kSpare + document.size(), 0, kRoom);
  }
  char* Begin() { return block_ + kSpare; }

 private:
  static constexpr size_t kSpare = 1;
  static constexpr size_t kRoom = 32;
  char* block_ = nullptr;
};

// Where in the document the parser stopped, as a path.
std::string ErrorPath(std::string_view document) {
  rapidjson::MemoryStream bytes(document.data(), document.size());
  rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(bytes);
  PathTracker tracker;
  Reader().Parse<kParseFlags>(input, tracker);
  return tracker.ToString();
}

// Refuses an object that names a member twice, anywhere in the document:
// which of the two counts would be a guess.
class MemberCheck {
 public:
  void Check(const JsonValue& value) {
    if (value.IsArray()) {
      for (rapidjson::SizeType i = 0; i < value.Size(); ++i) {
        path_.PushIndex(static_cast<int>(i));
        Check(value[i]);
        path_.Pop();
      }
    } else if (value.IsObject()) {
      Unique(value);
      for (auto it = value.MemberBegin(); it != value.MemberEnd(); ++it) {
        std::string_view name = JsonNode::View(it->name);
        // A box's value has the path of the box.
        bool named = name != "_value";
        if (named) path_.Push(name);
        Check(it->value);
        if (named) path_.Pop();
      }
    }
  }

 private:
  void Unique(const JsonValue& object) {
    const rapidjson::SizeType n = object.MemberCount();
    auto name = [&](rapidjson::SizeType i) { return JsonNode::View((object.MemberBegin() + i)->name); };
    if (n <= 16) {
      for (rapidjson::SizeType i = 1; i < n; ++i) {
        for (rapidjson::SizeType j = 0; j < i; ++j) {
          if (name(i) == name(j)) Twice(name(i));
        }
      }
      return;
    }
    order_.resize(n);
    for (rapidjson::SizeType i = 0; i < n; ++i) order_[i] = i;
    // Any order that puts equal names together will do: by length, then bytes.
    std::sort(order_.begin(), order_.end(), [&](auto a, auto b) {
      std::string_view x = name(a), y = name(b);
      return x.size() != y.size() ? x.size() < y.size() : std::memcmp(x.data(), y.data(), x.size()) < 0;
    });
    for (rapidjson::SizeType i = 1; i < n; ++i) {
      if (name(order_[i]) == name(order_[i - 1])) Twice(name(order_[i]));
    }
  }

  [[noreturn]] void Twice(std::string_view name) {
    if (name != "_value" && name != "_typeName") path_.Push(name);
    path_.Fail(Problem::kInvalidArgument, "given more than once");
  }

  Path path_;
  std::vector<rapidjson::SizeType> order_;
};

// A parsed document and the text its strings point into.
struct Parsed {
  InsituText text;
  JsonDocument doc;
};

void Parse(const Codec& codec, std::string_view document, Parsed& parsed) {
  CheckSize(codec, document);
  // The parser takes U+0000 for the end of its input: nothing could follow.
  if (size_t nul = document.find('\0'); nul != std::string_view::npos) {
    Fail(Problem::kInvalidArgument, "", "malformed JSON at byte " + std::to_string(nul) + ": a NUL byte");
  }
  // Every value level costs at most two levels of JSON (a box and its value).
  int maxNesting = 2 * codec.GetLimits().maxDepth + 4;
  Reader reader;
  bool tooDeep = false, badText = false;
  // Text that is all valid UTF-8 is parsed in place without checking it
  // again; other text goes through the checking parser, which says where.
  const bool valid = FindTextFault(document, false) == TextFault::kNone;
  if (valid) parsed.text.Assign(document);
  auto generate = [&](JsonDocument& target) {
    BoundedHandler handler(target, maxNesting, !valid || document.find("\\u") != std::string_view::npos);
    bool ok;
    if (valid) {
      rapidjson::InsituStringStream input(parsed.text.Begin());
      ok = !reader.Parse<kInsituFlags>(input, handler).IsError();
    } else {
      rapidjson::MemoryStream bytes(document.data(), document.size());
      rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(bytes);
      ok = !reader.Parse<kParseFlags>(input, handler).IsError();
    }
    tooDeep = handler.TooDeep();
    badText = handler.BadText();
    return ok;
  };
  JsonDocument& doc = parsed.doc;
  doc.Populate(generate);
  if (tooDeep) {
    Fail(Problem::kInvalidArgument, "",
         "JSON nested deeper than the limit of " + std::to_string(codec.GetLimits().maxDepth) + " values");
  }
  if (badText) {
    Fail(Problem::kInvalidArgument, ErrorPath(document), "not valid UTF-8: an escape makes a lone surrogate");
  }
  if (reader.HasParseError()) {
    Fail(Problem::kInvalidArgument, ErrorPath(document),
         "malformed JSON at byte " + std::to_string(reader.GetErrorOffset()) + ": " +
             rapidjson::GetParseError_En(reader.GetParseErrorCode()));
  }
  MemberCheck().Check(doc);
}

const JsonValue* MemberOf(const JsonValue& object, const char* name) {
  auto it = object.FindMember(name);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

const JsonValue& RequireObject(const JsonDocument& doc) {
  if (!doc.IsObject()) Fail(Problem::kInvalidArgument, "", "expected a JSON object");
  return doc;
}

// The fault of a fault document, which holds it and its text, no more.
Haldun::Ref<MethodFault> FaultOf(Decoder<JsonNode>& d, const JsonValue& document, const JsonValue& fault) {
  for (auto it = document.MemberBegin(); it != document.MemberEnd(); ++it) {
    std::string_view name = JsonNode::View(it->name);
    if (name == "returnval") Fail(Problem::kInvalidArgument, "", "a response holds a result or a fault, not both");
    if (name != "fault" && name != "faultstring") {
      Fail(Problem::kInvalidArgument, std::string(name), "not part of a fault document");
    }
  }
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
  writer.Finish();
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
  writer.Finish();
  return out;
}

Haldun::Ref<Any> JsonFormat::DecodeValue(const Codec& codec, std::string_view document, const Type& declared) const {
  Declared d = DeclaredOf(declared);
  Haldun::Ref<Any> fast;
  if (FastDecodeValue(codec, document, d, fast)) return fast;
  Parsed parsed;
  Parse(codec, document, parsed);
  const JsonDocument& doc = parsed.doc;
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
  Parsed parsed;
  Parse(codec, document, parsed);
  const JsonDocument& doc = parsed.doc;
  const JsonValue& call = RequireObject(doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  const JsonValue* methodName = MemberOf(call, "_method");
  if (methodName == nullptr || !JsonNode::IsText(*methodName)) {
    Fail(Problem::kInvalidArgument, "_method", "the call names no method");
  }
  const JsonValue* self = MemberOf(call, "_this");
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
  Parsed parsed;
  Parse(codec, document, parsed);
  const JsonDocument& doc = parsed.doc;
  const JsonValue& response = RequireObject(doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  if (const JsonValue* fault = MemberOf(response, "fault")) FaultOf(decoder, response, *fault)->ThrowInternal();
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
  Parsed parsed;
  Parse(codec, document, parsed);
  const JsonDocument& doc = parsed.doc;
  const JsonValue& response = RequireObject(doc);
  const JsonValue* fault = MemberOf(response, "fault");
  if (fault == nullptr) Fail(Problem::kInvalidArgument, "", "not a fault document");
  VersionFilter versions(codec.GetVersion());
  Decoder<JsonNode> decoder(versions, codec.GetLimits());
  return FaultOf(decoder, response, *fault);
}

const JsonFormat kJsonFormat;
const FormatRegistration kRegistration(kJsonFormat);

}  // namespace Zamli::Wire::Json
