// The XML encoding: SOAP 1.1 envelopes around the values the shared encoder
// and decoder write and read.
#include <zamli/wire/decoder.h>
#include <zamli/wire/encoder.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/xml_reader.h>
#include <zamli/wire/xml_writer.h>

#include <algorithm>
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

// The first section after `from` in which '&' stands for itself: CDATA, a
// comment, a processing instruction.
size_t NextSection(std::string_view doc, size_t from) {
  size_t markup = doc.find("<!", from);
  size_t instruction = doc.find("<?", from);
  return std::min(markup, instruction);
}

size_t SectionEnd(std::string_view doc, size_t at) {
  std::string_view rest = doc.substr(at);
  std::string_view close = rest.starts_with("<![CDATA[") ? "]]>"
                           : rest.starts_with("<!--")    ? "-->"
                           : rest.starts_with("<?")      ? "?>"
                                                         : "";
  if (close.empty()) return at + 2;  // a declaration: its references are checked like any
  size_t end = doc.find(close, at + 2);
  return end == std::string_view::npos ? doc.size() : end + close.size();
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

// pugixml keeps what it cannot expand as text (an unknown entity, an '&'
// with no ';'), and its strings end at U+0000. Both are refused.
void CheckReferences(std::string_view doc, const pugi::xml_document& parsed) {
  auto fail = [&](size_t at, const std::string& message) {
    Fail(Problem::kInvalidArgument, PathAt(parsed, at), message);
  };
  size_t section = NextSection(doc, 0);
  size_t pos = 0;
  while (true) {
    size_t amp = doc.find('&', pos);
    if (amp == std::string_view::npos) return;
    if (section < amp) {
      pos = SectionEnd(doc, section);
      section = NextSection(doc, pos);
      continue;
    }
    size_t semicolon = doc.find(';', amp);
    std::string_view name =
        doc.substr(amp + 1, semicolon == std::string_view::npos ? 0 : std::min<size_t>(semicolon - amp - 1, 12));
    if (semicolon == std::string_view::npos || semicolon - amp - 1 > 12 || name.empty()) {
      fail(amp, "malformed XML at byte " + std::to_string(amp) + ": '&' starts no reference");
    }
    if (name[0] == '#') {
      long code = CharacterReference(name);
      if (code == 0) fail(amp, "XML cannot carry the character U+0000");
      if (code < 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
        fail(amp, "malformed XML at byte " + std::to_string(amp) + ": bad character reference");
      }
    } else if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos") {
      fail(amp, "the entity " + Quote(name) + " is not defined: no DTD is read");
    }
    pos = semicolon + 1;
  }
}

// Parses with no DTD processing: entities other than the predefined ones
// and character references are never expanded.
void Parse(const Codec& codec, std::string_view document, pugi::xml_document& doc) {
  CheckSize(codec, document);
  unsigned options =
      pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_ws_pcdata_single | pugi::parse_doctype;
  pugi::xml_parse_result result = doc.load_buffer(document.data(), document.size(), options, pugi::encoding_utf8);
  if (!result) {
    Fail(Problem::kInvalidArgument, "",
         std::string("malformed XML at byte ") + std::to_string(result.offset) + ": " + result.description());
  }
  int elements = 0;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_doctype) Fail(Problem::kInvalidArgument, "", "a document type declaration is refused");
    bool text = n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
    if ((n.type() == pugi::node_element && ++elements > 1) ||
        (text && std::string_view(n.value()).find_first_not_of(" \t\r\n") != std::string_view::npos)) {
      Fail(Problem::kInvalidArgument, "", "malformed XML: more than one root element, or text outside it");
    }
  }
  CheckReferences(document, doc);
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view localName) {
  for (pugi::xml_node n = FirstElement(parent); n; n = NextElement(n)) {
    if (LocalName(n.name()) == localName) return n;
  }
  return {};
}

// The first element of the envelope's body.
pugi::xml_node BodyContent(const pugi::xml_document& doc) {
  pugi::xml_node envelope = doc.document_element();
  if (!envelope || LocalName(envelope.name()) != "Envelope") {
    Fail(Problem::kInvalidArgument, "", "not a SOAP envelope");
  }
  pugi::xml_node body = Child(envelope, "Body");
  pugi::xml_node content = body ? FirstElement(body) : pugi::xml_node();
  if (!content) Fail(Problem::kInvalidArgument, "", "the SOAP body is empty");
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
  out += kEnvelopeClose;
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
    return out;
  }
  VersionFilter versions(codec.GetVersion());
  Encoder<XmlWriter> encoder(writer, versions);
  encoder.Root(name, value, d, ArrayStyle::kWrapped, true);
  return out;
}

Haldun::Ref<Any> XmlFormat::DecodeValue(const Codec& codec, std::string_view document, const Type& declared) const {
  Declared d = DeclaredOf(declared);
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
  out += kEnvelopeClose;
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
