#pragma once
// What client and server agree on besides the documents: header names, the
// request context header, content types, the versions document, the
// credentials headers. See README.md in this folder.
#include <haldun/ref.h>
#include <zamli/calls/request_context.h>
#include <zamli/security/access.h>
#include <zamli/types/version.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Http::Protocol {

inline constexpr std::string_view kDefaultPath = "/pelk";
inline constexpr std::string_view kVersionsSuffix = "/versions";
inline constexpr std::string_view kContextHeader = "X-Pelk-Context";
inline constexpr std::string_view kVersionHeader = "X-Pelk-Version";
inline constexpr std::string_view kSoapActionPrefix = "urn:pelk/";
inline constexpr std::string_view kSessionCookie = "pelk_session";
inline constexpr std::string_view kXmlContentType = "text/xml; charset=utf-8";
inline constexpr std::string_view kJsonContentType = "application/json";

// "a=1;b=x%3By": percent-encoded pairs; decoding raises
// Haldun::InvalidArgumentException on a malformed header.
std::string EncodeContext(const RequestContext& context);
Haldun::Ref<RequestContext> DecodeContext(std::string_view header);

// The encoding a Content-Type names ("xml", "json"), or empty.
std::string_view EncodingOfContentType(std::string_view contentType);
std::string_view ContentTypeOfEncoding(std::string_view encoding);

// {"versions":["pelk.version.version3",...]}
std::string EncodeVersions(const std::vector<std::string>& versions);
// Raises Haldun::InvalidArgumentException when the document is not one.
std::vector<std::string> DecodeVersions(std::string_view document);

// The version including the most others among `names` that this process
// knows in `ns`; null when it knows none.
const Version* Newest(const std::vector<std::string>& names, std::string_view ns);
// Every version of a namespace, the namespace's own order.
std::vector<std::string> VersionsOf(std::string_view ns);

std::string Base64Encode(std::string_view bytes);
std::optional<std::string> Base64Decode(std::string_view text);

// The value of an Authorization header for credentials; empty for none.
std::string AuthorizationOf(const Security::Credentials& credentials);
// Credentials from an Authorization header; kNone when it holds none usable.
Security::Credentials CredentialsOf(std::string_view authorization);

// The value of cookie `name` in a Cookie header, or empty.
std::string CookieValue(std::string_view cookieHeader, std::string_view name);

}  // namespace Zamli::Http::Protocol
