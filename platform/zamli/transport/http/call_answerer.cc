#include <zamli/calls/server_call_scope.h>
#include <zamli/transport/http/call_answerer.h>
#include <zamli/transport/http/faults.h>
#include <zamli/transport/http/protocol.h>
#include <zamli/transport/http/sessions.h>
#include <zamli/transport/http/signed_sessions.h>
#include <zamli/wire/format.h>
#include <zamli/wire/serve.h>

#include <exception>

namespace Zamli::Http {

namespace {

// Passes calls on to the served directory, telling the hooks about each.
class ObservedDirectory : public ObjectDirectory {
 public:
  ObservedDirectory(ObjectDirectory& inner, const CallHooks& hooks, const std::string& principal)
      : inner_(inner), hooks_(hooks), principal_(principal) {}

  Haldun::Ref<ManagedObject> Find(const MoRef& ref) const override { return inner_.Find(ref); }

  Haldun::Ref<Any> Dispatch(const MoRef& target, const ManagedMethod& method,
                            std::vector<Haldun::Ref<Any>>& args) override {
    event_.method = method.GetName();
    event_.target = target.GetTypeName() + ":" + target.GetId();
    event_.principal = principal_;
    if (hooks_.before) hooks_.before(event_);
    return inner_.Dispatch(target, method, args);
  }

  const CallEvent& Event() const { return event_; }

 private:
  ObjectDirectory& inner_;
  const CallHooks& hooks_;
  const std::string& principal_;
  CallEvent event_;
};

std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

CallAnswerer::CallAnswerer(ObjectDirectory& objects, const ServerOptions& options)
    : objects_(objects), options_(options) {
  if (options.sessionKey.empty()) {
    sessions_ = std::make_unique<SessionTable>(options.sessionIdleExpiry);
  } else {
    sessions_ = std::make_unique<SignedSessions>(options.sessionKey, options.sessionIdleExpiry);
  }
  versions_ = options.versions.empty() ? Protocol::VersionsOf(options.interfaceNamespace) : options.versions;
  if (versions_.empty()) {
    throw Haldun::InvalidArgumentException("no versions to serve of namespace " + options.interfaceNamespace);
  }
  for (const std::string& name : versions_) {
    const Version& version = Wire::FindVersion(name);  // an unknown name raises
    for (const char* encoding : {"xml", "json"}) {
      codecs_[encoding].try_emplace(name, encoding, version, options.limits);
    }
  }
  newest_ = Protocol::Newest(versions_, options.interfaceNamespace);
  if (newest_ == nullptr) newest_ = &Wire::FindVersion(versions_.back());
  versionsDocument_ = Protocol::EncodeVersions(versions_);
}

const Wire::Codec* CallAnswerer::CodecFor(std::string_view encoding, std::string_view version) const {
  auto byEncoding = codecs_.find(encoding);
  if (byEncoding == codecs_.end()) return nullptr;
  auto found = byEncoding->second.find(version);
  return found == byEncoding->second.end() ? nullptr : &found->second;
}

CallAnswer CallAnswerer::FaultAnswer(const Wire::Codec& codec, const char* faultType,
                                     const std::string& message) const {
  CallAnswer answer;
  answer.status = 500;
  answer.contentType = Protocol::ContentTypeOfEncoding(codec.GetFormat().Name());
  answer.body = codec.EncodeFault(*FaultNamed(faultType, message));
  return answer;
}

CallAnswer CallAnswerer::Answer(const CallRequest& request) {
  std::string_view encoding = Protocol::EncodingOfContentType(request.contentType);
  std::string_view version = request.version;
  if (encoding == "xml") {
    version = Unquoted(request.soapAction);
    if (version.substr(0, Protocol::kSoapActionPrefix.size()) == Protocol::kSoapActionPrefix) {
      version.remove_prefix(Protocol::kSoapActionPrefix.size());
    }
  }
  const Wire::Codec* codec = CodecFor(encoding, version);
  if (codec == nullptr) {
    std::string served;
    for (const std::string& v : versions_) served += (served.empty() ? "" : ", ") + v;
    return FaultAnswer(*CodecFor(encoding, newest_->GetName()), "kettar.fault.NotSupported",
                       "version \"" + std::string(version).substr(0, 64) + "\" is not served; served: " + served);
  }

  ServerCallInfo info;
  info.version = &codec->GetVersion();
  if (!request.context.empty()) {
    try {
      info.context = Protocol::DecodeContext(request.context);
    } catch (const Haldun::Exception& e) {
      return FaultAnswer(*codec, "kettar.fault.InvalidArgument", e.what());
    }
  }
  std::string setCookie;
  if (options_.authenticator != nullptr) {
    std::string cookie = Protocol::CookieValue(request.cookie, Protocol::kSessionCookie);
    std::optional<Session> session = cookie.empty() ? std::nullopt : sessions_->Resolve(cookie);
    std::optional<std::string> principal;
    std::string issued;
    if (session) {
      principal = std::move(session->principal);
      issued = std::move(session->renewed);
    } else {
      Security::Credentials credentials = Protocol::CredentialsOf(request.authorization);
      if (credentials.scheme != Security::Credentials::Scheme::kNone) {
        try {
          principal = options_.authenticator->Authenticate(credentials);
        } catch (const std::exception& e) {
          return FaultAnswer(*codec, "kettar.fault.SystemError", std::string("authentication failed: ") + e.what());
        }
      }
      if (!principal) {
        return FaultAnswer(*codec, "kettar.fault.NotAuthenticated", "the call proves no principal");
      }
      issued = sessions_->Open(*principal);
    }
    if (!issued.empty()) {
      setCookie = std::string(Protocol::kSessionCookie) + "=" + issued + "; Path=" + options_.path + "; HttpOnly" +
                  (options_.plainHttp ? "" : "; Secure");
    }
    info.principal = *principal;
  }

  auto start = std::chrono::steady_clock::now();
  const std::string principal = info.principal;  // the scope takes `info`
  ObservedDirectory observed(objects_, options_.hooks, principal);
  CallAnswer answer;
  bool faulted = false;
  {
    ServerCallScope scope(std::move(info));
    answer.body = Wire::Serve(*codec, observed, request.body, faulted);
  }
  // A result the version cannot carry comes back as a fault: it is one.
  answer.status = faulted ? 500 : 200;
  answer.contentType = Protocol::ContentTypeOfEncoding(codec->GetFormat().Name());
  answer.setCookie = std::move(setCookie);
  if (options_.hooks.after && !observed.Event().method.empty()) {
    options_.hooks.after(
        observed.Event(), answer.status,
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
  }
  return answer;
}

}  // namespace Zamli::Http
