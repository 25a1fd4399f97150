#pragma once
// Answers one call that arrived over HTTP: picks the codec for the request's
// encoding and version, proves who calls, and serves the document with the
// call's context and principal in scope.
#include <zamli/calls/object_directory.h>
#include <zamli/transport/http/server.h>
#include <zamli/transport/http/session_store.h>
#include <zamli/wire/codec.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Zamli::Http {

struct CallRequest {
  std::string_view contentType, soapAction, version, context, authorization, cookie, body;
};

struct CallAnswer {
  int status = 200;
  std::string_view contentType;
  std::string body;
  std::string setCookie;  // empty: none
};

class CallAnswerer {
 public:
  CallAnswerer(ObjectDirectory& objects, const ServerOptions& options);
  CallAnswer Answer(const CallRequest& request);
  const std::string& VersionsDocument() const { return versionsDocument_; }

 private:
  const Wire::Codec* CodecFor(std::string_view encoding, std::string_view version) const;
  CallAnswer FaultAnswer(const Wire::Codec& codec, const char* faultType, const std::string& message) const;

  ObjectDirectory& objects_;
  const ServerOptions& options_;
  std::unique_ptr<SessionStore> sessions_;
  std::vector<std::string> versions_;
  // Per encoding and version name; built up front, read-only afterwards.
  std::map<std::string, std::map<std::string, Wire::Codec, std::less<>>, std::less<>> codecs_;
  const Version* newest_ = nullptr;
  std::string versionsDocument_;
};

}  // namespace Zamli::Http
