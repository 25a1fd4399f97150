// The XML encoding: SOAP 1.1 envelopes around the values the shared encoder
// and decoder write and read.
#include <zamli/wire/budget.h>
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/decoder.h>
#include <zamli/wire/encoder.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/xml/xml_fast_path.h>
#include <zamli/wire/xml/xml_reader.h>
#include <zamli/wire/xml/xml_writer.h>

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <vector>

namespace Zamli::Wire::Xml {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view kSchemaNamespaces =
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
constexpr std::string_view kEnvelopeOpen =
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<soapenv:Body>";
constexpr std::string_view kEnvelopeClose = "</soapenv:Body></soapenv:Envelope>";

std::string DefaultNamespace(const Codec& codec) {
  const Namespace* ns = codec.GetVersion().GetNamespace();
  return " xmlns=\"urn:" + (ns ? ns->GetName() : std::string("kettar")) + "\"";
}

// The code point of a character reference ("#65", "#x41"), or -1.
long CharacterReference(std::string_view name) {
  bool hex = name.size() > 1 && name[1] == 'x';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return -1;
  long value = 0;
  for (char c : digits) {
    int digit = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
    if (digit < 0) return -1;
    value = value * (hex ? 16 : 10) + digit;
  }
  return value;
}

// The path of the element at byte `offset` of a parsed document, in the
// decoder's terms: below the value's root, or below the envelope's body
// element; repeated elements with their index.
std::string PathAt(const pugi::xml_document& doc, size_t offset) {
  std::vector<std::string> names;
  pugi::xml_node at = doc.document_element();
  while (at) {
    std::string_view name = LocalName(at.name());
    std::string step(name);
    int index = 0;
    bool repeated = false;
    for (pugi::xml_node n = at.previous_sibling(); n; n = n.previous_sibling()) {
      if (n.type() == pugi::node_element && LocalName(n.name()) == name) ++index;
    }
    for (pugi::xml_node n = NextElement(at); n && !repeated; n = NextElement(n)) repeated = LocalName(n.name()) == name;
    if (index > 0 || repeated) step += '[' + std::to_string(index) + ']';
    names.push_back(std::move(step));
    pugi::xml_node inner;
    for (pugi::xml_node n = FirstElement(at); n && static_cast<size_t>(n.offset_debug()) <= offset;
         n = NextElement(n)) {
      inner = n;
    }
    at = inner;
  }
  size_t skip = !names.empty() && names[0] == "Envelope" ? 3 : 1;
  std::string path;
  for (size_t i = skip; i < names.size(); ++i) {
    if (!path.empty()) path += '.';
    path += names[i];
  }
  return path;
}

constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
constexpr std::string_view kSoapNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// One pass over the bytes, beside the parser, for what pugixml lets by: an
// XML declaration out of place or for another encoding, text or a second
// element outside the root, '<' in an attribute value, and references that
// it keeps as text (an unknown entity, an '&' with no ';') or that make
// U+0000, where its strings would end. Sections are skipped whole, so the
// pass is linear whatever the document's shape.
class Scanner {
 public:
  Scanner(std::string_view doc, const pugi::xml_document& parsed) : doc_(doc), parsed_(parsed) {}

  void Run() {
    size_t pos = doc_.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    if (doc_.substr(pos).starts_with("<?xml") && pos + 5 < doc_.size() && IsBlankByte(doc_[pos + 5])) {
      size_t end = Find("?>", pos);
      Declaration(doc_.substr(pos, end - pos));
      pos = end + 2;
    }
    while (pos < doc_.size()) {
      size_t next = NextMarkupOrReference(pos);
      if (depth_ == 0) Outside(doc_.substr(pos, next == std::string_view::npos ? next : next - pos));
      if (next == std::string_view::npos) return;
      if (depth_ == 0 && doc_[next] == '&') Refuse("malformed XML: a reference outside the root element");
      pos = doc_[next] == '&' ? Reference(next) : Markup(next);
    }
  }

 private:
  // The next '<' or '&' at or after `from`, or npos: text runs a word at a time.
  size_t NextMarkupOrReference(size_t from) const {
    auto flagged = [](uint64_t word) { return Bytes::AnyEqual(word, '<') | Bytes::AnyEqual(word, '&'); };
    for (size_t i = from; (i = Bytes::SkipWords(doc_, i, flagged)) < doc_.size(); ++i) {
      if (doc_[i] == '<' || doc_[i] == '&') return i;
    }
    return std::string_view::npos;
  }

  size_t Find(std::string_view what, size_t from) const {
    size_t at = doc_.find(what, from);
    return at == std::string_view::npos ? doc_.size() : at;
  }

  [[noreturn]] void Refuse(const std::string& message) const { Fail(Problem::kInvalidArgument, "", message); }

  void Declaration(std::string_view declaration) const {
    size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return;
    size_t quote = declaration.find_first_of("\"'", at);
    if (quote == std::string_view::npos) return;
    size_t end = declaration.find(declaration[quote], quote + 1);
    std::string_view name = declaration.substr(quote + 1, end == std::string_view::npos ? 0 : end - quote - 1);
    if (!SameLetters(name, "UTF-8")) Refuse("the document is read as UTF-8, but declares " + Quote(name));
  }

  void Outside(std::string_view text) const {
    for (char c : text) {
      if (!IsBlankByte(c)) Refuse("malformed XML: text outside the root element");
    }
  }

  size_t Markup(size_t at) {
    std::string_view rest = doc_.substr(at);
    // Most markup is tags: tell the kinds apart by the byte after '<'.
    const char second = rest.size() > 1 ? rest[1] : '\0';
    if (second == '!') {
      if (rest.starts_with("<!--")) return Find("-->", at + 4) + 3;
      if (rest.starts_with("<![CDATA[")) {
        if (depth_ == 0) Refuse("malformed XML: a CDATA section outside the root element");
        return Find("]]>", at + 9) + 3;
      }
      Refuse("a document type declaration is refused");
    }
    if (second == '?') {
      if (SameLetters(rest.substr(2, 3), "xml") && rest.size() > 5 && (IsBlankByte(rest[5]) || rest[5] == '?')) {
        Refuse("malformed XML: an XML declaration that does not begin the document");
      }
      return Find("?>", at + 2) + 2;
    }
    if (second == '/') {
      --depth_;
      size_t end = doc_.find('>', at);
      return (end == std::string_view::npos ? doc_.size() : end) + 1;
    }
    if (depth_ == 0 && rooted_) Refuse("malformed XML: more than one root element");
    rooted_ = true;
    // A start tag: to its '>', stepping over quoted attribute values.
    size_t i = at + 1;
    while (i < doc_.size() && doc_[i] != '>') {
      char c = doc_[i];
      if (c != '"' && c != '\'') {
        ++i;
        continue;
      }
      size_t end = doc_.find(c, i + 1);
      if (end == std::string_view::npos) end = doc_.size();
      for (size_t j = i + 1; j < end; ++j) {
        if (doc_[j] == '<') Refuse("malformed XML at byte " + std::to_string(j) + ": '<' in an attribute value");
        if (doc_[j] == '&') j = Reference(j) - 1;
      }
      i = end + 1;
    }
    if (doc_[i - 1] != '/') ++depth_;
    return i + 1;
  }

  // Checks the reference at `amp`; answers where it ends.
  size_t Reference(size_t amp) const {
    size_t semicolon = doc_.find(';', amp);
    if (semicolon == std::string_view::npos || semicolon - amp - 1 > 12 || semicolon == amp + 1) {
      Bad(amp, "malformed XML at byte " + std::to_string(amp) + ": '&' starts no reference");
    }
    std::string_view name = doc_.substr(amp + 1, semicolon - amp - 1);
    if (name[0] == '#') {
      long code = CharacterReference(name);
      if (code == 0) Bad(amp, "XML cannot carry the character U+0000");
      if (code < 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
        Bad(amp, "malformed XML at byte " + std::to_string(amp) + ": bad character reference");
      }
    } else if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos") {
      Bad(amp, "the entity " + Quote(name) + " is not defined: no DTD is read");
    }
    return semicolon + 1;
  }

  [[noreturn]] void Bad(size_t at, const std::string& message) const {
    Fail(Problem::kInvalidArgument, PathAt(parsed_, at), message);
  }

  std::string_view doc_;
  const pugi::xml_document& parsed_;
  size_t depth_ = 0;
  bool rooted_ = false;
};

// One pass over the elements for what the parser does not check of
// attributes: a name given twice, and the namespace of prefixed names. The
// attributes the decoder reads by name (xsi:type, xsi:nil and
// soapenv:mustUnderstand) are renamed to those names when their prefix is
// bound to the namespace, and away from them when it is not: the decoder
// then recognises them by namespace, whatever the prefix.
class AttributeCheck {
 public:
  void Run(pugi::xml_node root) {
    pugi::xml_node n = root;
    Enter(n);
    while (true) {
      pugi::xml_node child = FirstElement(n);
      if (child) {
        n = child;
        Enter(n);
        continue;
      }
      while (true) {
        Leave();
        if (n == root) return;
        pugi::xml_node next = NextElement(n);
        if (next) {
          n = next;
          Enter(n);
          break;
        }
        n = n.parent();
      }
    }
  }

 private:
  [[noreturn]] static void Refuse(pugi::xml_node element, const std::string& message) {
    Fail(Problem::kInvalidArgument, "", "<" + std::string(element.name()) + ">: " + message);
  }

  void Enter(pugi::xml_node element) {
    marks_.push_back(undo_.size());
    attributes_.clear();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) attributes_.push_back(a);
    Unique(element);
    for (pugi::xml_attribute a : attributes_) {
      std::string_view name = a.name();
      if (!name.starts_with("xmlns:")) continue;
      std::string_view prefix = name.substr(6);
      auto it = bound_.find(prefix);
      undo_.push_back(Undo{prefix, it == bound_.end() ? std::string_view() : it->second, it != bound_.end()});
      bound_[prefix] = a.value();
    }
    int types = 0, nils = 0;
    for (pugi::xml_attribute a : attributes_) {
      std::string_view name = a.name();
      size_t colon = name.find(':');
      if (colon == std::string_view::npos || name.starts_with("xmlns:")) continue;
      std::string_view prefix = name.substr(0, colon), local = name.substr(colon + 1);
      const char* canonical = nullptr;
      if (local == "type" || local == "nil" || local == "mustUnderstand") {
        auto it = bound_.find(prefix);
        if (it == bound_.end()) Refuse(element, "the prefix of " + Quote(name) + " is not declared");
        if (it->second == kXsiNamespace && local == "type") {
          canonical = "xsi:type";
          ++types;
        } else if (it->second == kXsiNamespace && local == "nil") {
          canonical = "xsi:nil";
          ++nils;
        } else if (it->second == kSoapNamespace && local == "mustUnderstand") {
          canonical = "soapenv:mustUnderstand";
        }
      }
      if (canonical != nullptr) {
        if (name != canonical) a.set_name(canonical);
      } else if (name == "xsi:type" || name == "xsi:nil" || name == "soapenv:mustUnderstand") {
        a.set_name(std::string("-").append(local).c_str());
      }
    }
    if (types > 1 || nils > 1) Refuse(element, "an attribute of the schema instance namespace given twice");
  }

  void Leave() {
    for (size_t mark = marks_.back(); undo_.size() > mark; undo_.pop_back()) {
      const Undo& u = undo_.back();
      if (u.had) {
        bound_[u.prefix] = u.uri;
      } else {
        bound_.erase(u.prefix);
      }
    }
    marks_.pop_back();
  }

  void Unique(pugi::xml_node element) {
    auto name = [](pugi::xml_attribute a) { return std::string_view(a.name()); };
    const size_t n = attributes_.size();
    if (n <= 8) {
      for (size_t i = 1; i < n; ++i) {
        for (size_t j = 0; j < i; ++j) {
          if (name(attributes_[i]) == name(attributes_[j])) Twice(element, name(attributes_[i]));
        }
      }
      return;
    }
    sorted_ = attributes_;
    std::sort(sorted_.begin(), sorted_.end(), [&](auto a, auto b) { return name(a) < name(b); });
    for (size_t i = 1; i < n; ++i) {
      if (name(sorted_[i]) == name(sorted_[i - 1])) Twice(element, name(sorted_[i]));
    }
  }

  [[noreturn]] static void Twice(pugi::xml_node element, std::string_view name) {
    Refuse(element, "the attribute " + Quote(name) + " given twice");
  }

  struct Undo {
    std::string_view prefix, uri;
    bool had;
  };
  std::unordered_map<std::string_view, std::string_view> bound_{{"xml", "http://www.w3.org/XML/1998/namespace"}};
  std::vector<Undo> undo_;
  std::vector<size_t> marks_;
  std::vector<pugi::xml_attribute> attributes_, sorted_;
};

// pugixml's memory counts against the decode's budget. Its hooks are the
// process's: installed as the library loads, before any document exists.
[[maybe_unused]] const bool kBudgetHooks = [] {
  pugi::set_memory_management_functions(&BudgetAllocate, &BudgetFree);
  return true;
}();

// Parses with no DTD processing: entities other than the predefined ones
// and character references are never expanded.
void Parse(const Codec& codec, std::string_view document, pugi::xml_document& doc) {
  CheckSize(codec, document);
  if (document.starts_with("\xFE\xFF") || document.starts_with("\xFF\xFE") ||
      document.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
    Fail(Problem::kInvalidArgument, "", "a byte-order mark of UTF-16 or UTF-32: the document is read as UTF-8");
  }
  unsigned options = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_ws_pcdata_single |
                     pugi::parse_doctype | pugi::parse_embed_pcdata;
  pugi::xml_parse_result result = doc.load_buffer(document.data(), document.size(), options, pugi::encoding_utf8);
  if (result.status == pugi::status_out_of_memory) {
    DecodeBudget* budget = DecodeBudget::Current();
    if (budget != nullptr && budget->Exceeded()) budget->Fail();
    Fail(Problem::kSystemError, "", "out of memory");
  }
  if (!result) {
    Fail(Problem::kInvalidArgument, "",
         std::string("malformed XML at byte ") + std::to_string(result.offset) + ": " + result.description());
  }
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_doctype) Fail(Problem::kInvalidArgument, "", "a document type declaration is refused");
  }
  Scanner(document, doc).Run();
  if (doc.document_element()) AttributeCheck().Run(doc.document_element());
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view localName) {
  for (pugi::xml_node n = FirstElement(parent); n; n = NextElement(n)) {
    if (LocalName(n.name()) == localName) return n;
  }
  return {};
}

// The one element of the envelope's body. The envelope holds a header (whose
// entries, none of which this side knows, may not require understanding)
// and a body, nothing else.
pugi::xml_node BodyContent(const pugi::xml_document& doc) {
  pugi::xml_node envelope = doc.document_element();
  if (!envelope || LocalName(envelope.name()) != "Envelope") {
    Fail(Problem::kInvalidArgument, "", "not a SOAP envelope");
  }
  Path path;
  pugi::xml_node body;
  int parts = 0;
  for (pugi::xml_node n = XmlNode(envelope).FirstOfElements(path); n; n = XmlNode::Element(n.next_sibling(), path)) {
    std::string_view name = LocalName(n.name());
    if (name == "Header" && parts == 0) {
      for (pugi::xml_node entry = FirstElement(n); entry; entry = NextElement(entry)) {
        std::string_view must = entry.attribute("soapenv:mustUnderstand").value();
        if (must == "1" || must == "true") {
          Fail(Problem::kInvalidArgument, "",
               "the header entry " + Quote(LocalName(entry.name())) + " must be understood, and is not");
        }
      }
    } else if (name == "Body" && !body) {
      body = n;
    } else {
      Fail(Problem::kInvalidArgument, "", "the envelope holds a header and a body, not " + Quote(name));
    }
    ++parts;
  }
  pugi::xml_node content = body ? XmlNode(body).FirstOfElements(path) : pugi::xml_node();
  if (!content) Fail(Problem::kInvalidArgument, "", "the SOAP body is empty");
  if (XmlNode::Element(content.next_sibling(), path)) {
    Fail(Problem::kInvalidArgument, "", "the SOAP body holds more than one element");
  }
  return content;
}

Haldun::Ref<MethodFault> FaultOf(Decoder<XmlNode>& d, pugi::xml_node fault) {
  pugi::xml_node detail = Child(fault, "detail");
  pugi::xml_node content = detail ? FirstElement(detail) : pugi::xml_node();
  if (!content) Fail(Problem::kInvalidArgument, "", "the SOAP fault has no detail");
  std::string_view name = LocalName(content.name());
  d.GetPath().Push(name);
  auto* type = dynamic_cast<const DataObjectType*>(FindWireType(name));
  if (type == nullptr || !type->IsA(&MethodFaultType())) {
    d.GetPath().Fail(Problem::kInvalidType, "not a fault type: " + Quote(name));
  }
  Haldun::Ref<Any> value = d.Object(XmlNode(content), type);
  d.GetPath().Pop();
  return Haldun::Ref<MethodFault>(static_cast<MethodFault*>(value.Get()));
}

// A body element named `name` in the namespace of the codec, holding what
// `content` writes.
template <class Content>
std::string InEnvelope(const Codec& codec, std::string_view name, Content&& content) {
  VersionFilter versions(codec.GetVersion());
  std::string attributes = DefaultNamespace(codec);
  std::string out(kDeclaration);
  out += kEnvelopeOpen;
  XmlWriter writer(out);
  writer.SetNextAttributes(attributes);
  Encoder<XmlWriter> encoder(writer, versions);
  writer.BeginObject(name, TypeTag{});
  content(encoder);
  writer.EndObject(name);
  writer.Raw(kEnvelopeClose);
  writer.Finish();
  return out;
}

}  // namespace

// The entry points Codec calls, registered as "xml".
class XmlFormat final : public Format {
 public:
  std::string_view Name() const override { return "xml"; }
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

std::string XmlFormat::EncodeValue(const Codec& codec, const Any* value, const Type& declared) const {
  Declared d = DeclaredOf(declared);
  std::string name = RootName(d);
  std::string attributes = DefaultNamespace(codec) + std::string(kSchemaNamespaces);
  std::string out(kDeclaration);
  XmlWriter writer(out);
  writer.SetNextAttributes(attributes);
  if (value == nullptr) {
    writer.Null(name);
  } else {
    VersionFilter versions(codec.GetVersion());
    Encoder<XmlWriter> encoder(writer, versions);
    encoder.Root(name, value, d, ArrayStyle::kWrapped, true);
  }
  writer.Finish();
  return out;
}

Haldun::Ref<Any> XmlFormat::DecodeValue(const Codec& codec, std::string_view document, const Type& declared) const {
  Declared d = DeclaredOf(declared);
  Haldun::Ref<Any> fast;
  if (FastDecodeValue(codec, document, d, fast)) return fast;
  pugi::xml_document doc;
  Parse(codec, document, doc);
  pugi::xml_node root = doc.document_element();
  std::string name = RootName(d);
  if (!root || LocalName(root.name()) != name) {
    Fail(Problem::kInvalidArgument, "", "expected a <" + name + "> document");
  }
  VersionFilter versions(codec.GetVersion());
  Decoder<XmlNode> decoder(versions, codec.GetLimits());
  return decoder.Value(XmlNode(root), d);
}

std::string XmlFormat::EncodeRequest(const Codec& codec, const MoRef& target, const ManagedMethod& method,
                                     const Args& args) const {
  const MethodInfo& info = CallableMethod(codec, method);
  return InEnvelope(codec, info.wsdlName, [&](Encoder<XmlWriter>& encoder) {
    encoder.Value("_this", &target, Declared{ValueKind::kMoRef, nullptr, false}, ArrayStyle::kRepeated, true);
    EncodeParameters(encoder, info, args);
  });
}

Request XmlFormat::DecodeRequest(const Codec& codec, std::string_view document) const {
  pugi::xml_document doc;
  Parse(codec, document, doc);
  pugi::xml_node call = BodyContent(doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<XmlNode> decoder(versions, codec.GetLimits());
  pugi::xml_node self = Child(call, "_this");
  XmlNode target(self);
  return DecodeCall(decoder, XmlNode(call), self ? &target : nullptr, LocalName(call.name()));
}

std::string XmlFormat::EncodeResponse(const Codec& codec, const ManagedMethod& method, const Any* result) const {
  const MethodInfo& info = CallableMethod(codec, method);
  return InEnvelope(codec, std::string(info.wsdlName) + "Response",
                    [&](Encoder<XmlWriter>& encoder) { EncodeResult(encoder, info, result); });
}

Haldun::Ref<Any> XmlFormat::DecodeResponse(const Codec& codec, std::string_view document,
                                           const ManagedMethod& method) const {
  const MethodInfo& info = CallableMethod(codec, method);
  pugi::xml_document doc;
  Parse(codec, document, doc);
  pugi::xml_node content = BodyContent(doc);
  VersionFilter versions(codec.GetVersion());
  Decoder<XmlNode> decoder(versions, codec.GetLimits());
  if (LocalName(content.name()) == "Fault") FaultOf(decoder, content)->ThrowInternal();
  if (LocalName(content.name()) != std::string(info.wsdlName) + "Response") {
    Fail(Problem::kInvalidArgument, "", "not a response to " + std::string(info.wsdlName));
  }
  return DecodeResult(decoder, XmlNode(content), info);
}

std::string XmlFormat::EncodeFault(const Codec& codec, const MethodFault& fault) const {
  VersionFilter versions(codec.GetVersion());
  const DataObjectType& type = FaultTypeFor(versions, fault);
  std::string attributes = DefaultNamespace(codec);
  std::string out(kDeclaration);
  out += kEnvelopeOpen;
  XmlWriter writer(out);
  writer.Raw("<soapenv:Fault><faultcode>ServerFaultCode</faultcode><faultstring>");
  std::string text = Describe(fault);
  for (char& c : text) {
    if (HasControlCharacter(std::string_view(&c, 1))) c = ' ';  // a message is no value: blanked, not refused
  }
  writer.Escaped(text, false);
  writer.Raw("</faultstring><detail>");
  writer.SetNextAttributes(attributes);
  Encoder<XmlWriter> encoder(writer, versions);
  encoder.Value(type.GetWsdlName(), &fault, Declared{ValueKind::kData, &type, false}, ArrayStyle::kRepeated, true);
  writer.Raw("</detail></soapenv:Fault>");
  writer.Raw(kEnvelopeClose);
  writer.Finish();
  return out;
}

Haldun::Ref<MethodFault> XmlFormat::DecodeFault(const Codec& codec, std::string_view document) const {
  pugi::xml_document doc;
  Parse(codec, document, doc);
  pugi::xml_node content = BodyContent(doc);
  if (LocalName(content.name()) != "Fault") Fail(Problem::kInvalidArgument, "", "not a SOAP fault");
  VersionFilter versions(codec.GetVersion());
  Decoder<XmlNode> decoder(versions, codec.GetLimits());
  return FaultOf(decoder, content);
}

const XmlFormat kXmlFormat;
const FormatRegistration kRegistration(kXmlFormat);

}  // namespace Zamli::Wire::Xml
