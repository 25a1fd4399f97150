#include <haldun/exception.h>
#include <zamli/transport/http/protocol.h>
#include <zamli/types/registry.h>

#include <algorithm>
#include <cctype>

namespace Zamli::Http::Protocol {

namespace {

bool IsUnreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

void PercentEncode(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : text) {
    if (IsUnreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) throw Haldun::InvalidArgumentException("the request context header has a bad escape");
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(b);
         });
}

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string EncodeContext(const RequestContext& context) {
  std::string out;
  for (const auto& [key, value] : context.GetAll()) {
    if (!out.empty()) out += ';';
    PercentEncode(out, key);
    out += '=';
    PercentEncode(out, value);
  }
  return out;
}

Haldun::Ref<RequestContext> DecodeContext(std::string_view header) {
  Haldun::Ref<RequestContext> context(new RequestContext());
  while (!header.empty()) {
    size_t end = header.find(';');
    std::string_view pair = header.substr(0, end);
    size_t equals = pair.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      throw Haldun::InvalidArgumentException("the request context header holds a pair without a key");
    }
    context->Set(PercentDecode(pair.substr(0, equals)), PercentDecode(pair.substr(equals + 1)));
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
  }
  return context;
}

std::string_view EncodingOfContentType(std::string_view contentType) {
  if (StartsWithNoCase(contentType, "text/xml")) return "xml";
  if (StartsWithNoCase(contentType, "application/json")) return "json";
  return {};
}

std::string_view ContentTypeOfEncoding(std::string_view encoding) {
  return encoding == "json" ? kJsonContentType : kXmlContentType;
}

std::string EncodeVersions(const std::vector<std::string>& versions) {
  std::string out = "{\"versions\":[";
  for (size_t i = 0; i < versions.size(); ++i) {
    out += (i ? ",\"" : "\"") + versions[i] + "\"";  // version names need no escapes
  }
  return out + "]}";
}

std::vector<std::string> DecodeVersions(std::string_view document) {
  size_t open = document.find('[');
  size_t close = document.find(']');
  if (document.find("\"versions\"") == std::string_view::npos || open == std::string_view::npos ||
      close == std::string_view::npos || close < open) {
    throw Haldun::InvalidArgumentException("not a versions document");
  }
  std::vector<std::string> versions;
  std::string_view list = document.substr(open + 1, close - open - 1);
  for (size_t quote = list.find('"'); quote != std::string_view::npos; quote = list.find('"')) {
    size_t end = list.find('"', quote + 1);
    if (end == std::string_view::npos) throw Haldun::InvalidArgumentException("not a versions document");
    versions.emplace_back(list.substr(quote + 1, end - quote - 1));
    list = list.substr(end + 1);
  }
  return versions;
}

const Version* Newest(const std::vector<std::string>& names, std::string_view ns) {
  const Version* newest = nullptr;
  size_t newestIncludes = 0;
  for (const std::string& name : names) {
    const Version* v = TypeRegistry::Instance().FindVersion(name);
    if (v == nullptr || v->GetNamespace() == nullptr || v->GetNamespace()->GetName() != ns) continue;
    size_t includes = 0;
    for (const Version* other : v->GetNamespace()->GetVersions()) includes += v->Includes(*other);
    if (newest == nullptr || includes > newestIncludes) {
      newest = v;
      newestIncludes = includes;
    }
  }
  return newest;
}

std::vector<std::string> VersionsOf(std::string_view ns) {
  std::vector<std::string> names;
  const Namespace* found = TypeRegistry::Instance().FindNamespace(ns);
  if (found == nullptr) return names;
  for (const Version* v : found->GetVersions()) names.push_back(v->GetName());
  return names;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned n = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kBase64[(n >> shift) & 63];
  }
  if (i < bytes.size()) {
    unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  std::string out;
  unsigned n = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    size_t v = kBase64.find(c);
    if (v == std::string_view::npos) return std::nullopt;
    n = n << 6 | static_cast<unsigned>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((n >> bits) & 0xff);
    }
  }
  return out;
}

std::string AuthorizationOf(const Security::Credentials& credentials) {
  switch (credentials.scheme) {
    case Security::Credentials::Scheme::kBasic:
      return "Basic " + Base64Encode(credentials.user + ":" + credentials.secret);
    case Security::Credentials::Scheme::kBearer:
      return "Bearer " + credentials.secret;
    case Security::Credentials::Scheme::kNone:
      break;
  }
  return {};
}

Security::Credentials CredentialsOf(std::string_view authorization) {
  Security::Credentials credentials;
  if (StartsWithNoCase(authorization, "Basic ")) {
    std::optional<std::string> decoded = Base64Decode(authorization.substr(6));
    size_t colon = decoded ? decoded->find(':') : std::string::npos;
    if (colon == std::string::npos) return credentials;
    credentials.scheme = Security::Credentials::Scheme::kBasic;
    credentials.user = decoded->substr(0, colon);
    credentials.secret = decoded->substr(colon + 1);
  } else if (StartsWithNoCase(authorization, "Bearer ") && authorization.size() > 7) {
    credentials.scheme = Security::Credentials::Scheme::kBearer;
    credentials.secret = std::string(authorization.substr(7));
  }
  return credentials;
}

std::string CookieValue(std::string_view cookieHeader, std::string_view name) {
  while (!cookieHeader.empty()) {
    size_t end = cookieHeader.find(';');
    std::string_view pair = cookieHeader.substr(0, end);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
      return std::string(pair.substr(name.size() + 1));
    }
    cookieHeader = end == std::string_view::npos ? std::string_view() : cookieHeader.substr(end + 1);
  }
  return {};
}

}  // namespace Zamli::Http::Protocol
