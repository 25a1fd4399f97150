#include "transcode.h"

#include <zamli/types/registry.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ostream>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "lookup.h"

namespace Pelkctl {
namespace {

// Indents an encoded document; what the codec wrote parses, so this only
// lays it out.
std::string Indented(const std::string& document, std::string_view encoding) {
  if (encoding == "json") return nlohmann::ordered_json::parse(document).dump(2);
  if (encoding == "xml") {
    pugi::xml_document xml;
    if (!xml.load_buffer(document.data(), document.size(), pugi::parse_default | pugi::parse_declaration)) {
      return document;
    }
    std::ostringstream out;
    xml.save(out, "  ", pugi::format_indent);
    std::string text = out.str();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  return document;  // another encoding keeps its own layout
}

std::string Encoded(std::string_view document, const DocumentShape& shape, const Zamli::Wire::Codec& reader,
                    const Zamli::Wire::Codec& writer) {
  switch (shape.kind) {
    case DocumentShape::kValue: {
      Haldun::Ref<Zamli::Any> value = reader.DecodeValue(document, *shape.type);
      return writer.EncodeValue(value.Get(), *shape.type);
    }
    case DocumentShape::kRequest: {
      Zamli::Wire::Request call = reader.DecodeRequest(document);
      return writer.EncodeRequest(*call.target, *call.method, call.args);
    }
    case DocumentShape::kResponse: {
      Haldun::Ref<Zamli::Any> result = reader.DecodeResponse(document, *shape.method);
      return writer.EncodeResponse(*shape.method, result.Get());
    }
    case DocumentShape::kFault: {
      Haldun::Ref<Zamli::MethodFault> fault = reader.DecodeFault(document);
      return writer.EncodeFault(*fault);
    }
  }
  throw std::logic_error("unknown document shape");
}

}  // namespace

const Zamli::Type* FindValueType(const std::string& name) {
  constexpr std::string_view kArray = "[]";
  if (name.size() > kArray.size() && name.ends_with(kArray)) {
    const Zamli::Type* item = FindType(name.substr(0, name.size() - kArray.size()));
    return item == nullptr ? nullptr : item->GetArrayType();
  }
  return FindType(name);
}

const Zamli::Version& NewestVersion() {
  const Zamli::Namespace* ns = Zamli::TypeRegistry::Instance().FindNamespace("pelk");
  if (ns == nullptr || ns->GetVersions().empty()) throw std::runtime_error("the pelk namespace is not registered");
  return *ns->GetVersions().front();  // newest first
}

void Transcode(std::string_view document, std::ostream& out, const DocumentShape& shape, const Zamli::Version& version,
               std::string_view from, std::string_view to, bool pretty) {
  const Zamli::Wire::Codec reader(from, version);
  const Zamli::Wire::Codec writer(to, version);
  std::string encoded = Encoded(document, shape, reader, writer);
  out << (pretty ? Indented(encoded, to) : encoded) << '\n';
}

void Transcode(std::istream& in, std::ostream& out, const Zamli::Type& type, const Zamli::Version& version,
               std::string_view from, std::string_view to) {
  const std::string document{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Transcode(document, out, DocumentShape{DocumentShape::kValue, &type, nullptr}, version, from, to);
}

std::string ReadDocument(const std::string& path) {
  if (path.empty() || path == "-") {
    return std::string{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read \"" + path + "\"");
  return std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string WithLineAndColumn(const std::string& message, std::string_view document) {
  static const std::regex kAtByte("at byte ([0-9]+)");
  std::smatch match;
  if (!std::regex_search(message, match, kAtByte)) return message;
  const size_t offset = std::min<size_t>(std::stoull(match[1].str()), document.size());
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset; ++i) {
    if (document[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(document[i]) & 0xC0) != 0x80) {
      ++column;  // a character, not a UTF-8 continuation byte
    }
  }
  return match.prefix().str() + "at line " + std::to_string(line) + ", column " + std::to_string(column) + " (" +
         match[0].str() + ")" + match.suffix().str();
}

}  // namespace Pelkctl
