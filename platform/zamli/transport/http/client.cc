// The client adapter: a call is an exchange (connect if needed, write the
// request, read the answer) run on one connection's strand; a synchronous
// call waits for it, an asynchronous one completes on the I/O thread. A
// synchronous call over an idle connection runs its exchange on the calling
// thread instead: no hop to the I/O threads and back.
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <zamli/calls/completion.h>
#include <zamli/transport/http/blocking_exchange.h>
#include <zamli/transport/http/client.h>
#include <zamli/transport/http/client_connection.h>
#include <zamli/transport/http/io_threads.h>
#include <zamli/transport/http/protocol.h>
#include <zamli/wire/format.h>

#include <algorithm>
#include <atomic>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/ssl/verify_context.hpp>
#include <boost/beast/http.hpp>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>

namespace Zamli::Http {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

struct Endpoint {
  bool tls = true;
  std::string host, port, path, hostHeader;
};

Endpoint ParseEndpoint(std::string_view url) {
  Endpoint e;
  if (url.starts_with("https://")) {
    url.remove_prefix(8);
  } else if (url.starts_with("http://")) {
    url.remove_prefix(7);
    e.tls = false;
  } else if (url.find("://") != std::string_view::npos) {
    throw Haldun::InvalidArgumentException("the endpoint's scheme is neither https nor http: " + std::string(url));
  }
  size_t slash = url.find('/');
  std::string_view authority = url.substr(0, slash);
  e.path = slash == std::string_view::npos ? std::string(Protocol::kDefaultPath) : std::string(url.substr(slash));
  e.hostHeader = std::string(authority);
  size_t colon = authority.rfind(':');
  if (!authority.empty() && authority.front() == '[') {  // [v6 address]:port
    size_t close = authority.find(']');
    if (close == std::string_view::npos) throw Haldun::InvalidArgumentException("bad endpoint: " + std::string(url));
    e.host = std::string(authority.substr(1, close - 1));
    colon = authority.find(':', close);
  } else {
    e.host = std::string(authority.substr(0, colon));
  }
  e.port = colon == std::string_view::npos ? (e.tls ? "443" : "80") : std::string(authority.substr(colon + 1));
  if (e.host.empty() || e.port.empty() || e.port.find_first_not_of("0123456789") != std::string::npos) {
    throw Haldun::InvalidArgumentException("bad endpoint: " + std::string(url));
  }
  return e;
}

std::string Thumbprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

std::string Milliseconds(std::chrono::milliseconds ms) { return std::to_string(ms.count()) + " ms"; }

// What an exchange ends with: an answer, or the error that ended it.
struct Outcome {
  int status = 0;
  std::string contentType;
  std::string body;
  std::exception_ptr error;
};

}  // namespace

class Exchange;

struct HttpAdapter::Impl {
  explicit Impl(ClientOptions clientOptions);
  ~Impl();

  http::request<http::string_body> Post(std::string body, RequestContext* context);
  std::optional<Clock::time_point> DeadlineFrom(Clock::time_point start) const {
    if (options.callTimeout.count() <= 0) return std::nullopt;
    return start + options.callTimeout;
  }
  // The exchange on the calling thread, when an idle connection is at
  // hand; nullopt when the I/O threads must carry it, `unwritten` set when
  // the request could not be written on the idle connection.
  std::optional<Outcome> ExchangeHere(http::request<http::string_body>& request,
                                      std::optional<Clock::time_point> deadline, bool& unwritten);
  std::string Where() const { return endpoint.host + ":" + endpoint.port; }
  std::exception_ptr CallTimedOut() const {
    return std::make_exception_ptr(TimeoutException(
        "the call to " + Where() + " did not complete within its deadline of " + Milliseconds(options.callTimeout)));
  }
  std::exception_ptr BrokeBeforeTheAnswer(const beast::error_code& ec) const {
    return std::make_exception_ptr(
        TransportException("the connection to " + Where() + " broke before the whole answer came: " + ec.message()));
  }
  http::request<http::string_body> Get(const std::string& target);
  Haldun::Ref<Any> Decode(const Outcome& outcome, const ManagedMethod& method) const;
  CallEvent EventOf(const MoRef* target, const ManagedMethod* method) const;
  void After(const CallEvent& event, const Outcome& outcome, Clock::time_point start) const;

  std::shared_ptr<ClientConnection> TakeIdle();
  std::shared_ptr<ClientConnection> Fresh() {
    return std::make_shared<ClientConnection>(io.Context(), tls ? &*tls : nullptr);
  }
  void ReturnIdle(std::shared_ptr<ClientConnection> connection);
  // An answer's string, once decoded, is kept (up to kKeptAnswerRoom) for
  // the next synchronous call's answer to be read into: a large answer then
  // costs no fresh pages and no filling of its length.
  std::string TakeAnswerRoom();
  void KeepAnswerRoom(std::string&& answer);
  static constexpr size_t kKeptAnswerRoom = 4 * 1024 * 1024;
  void KeepCookies(const http::response<http::string_body>& response);

  ClientOptions options;
  Endpoint endpoint;
  Wire::Codec codec;
  std::string encoding;
  std::string pin;  // lowercase hex
  std::string authorization;
  std::optional<asio::ssl::context> tls;
  std::mutex mutex;  // guards what follows
  std::vector<std::shared_ptr<ClientConnection>> idle;
  std::string answerRoom;
  std::map<std::string, std::string> cookies;
  std::optional<tcp::resolver::results_type> resolved;
  IoThreads io;
};

// One call's HTTP exchange. Its steps run on its connection's strand; it
// ends exactly once, through `done`.
class Exchange : public std::enable_shared_from_this<Exchange> {
 public:
  Exchange(HttpAdapter::Impl& client, http::request<http::string_body> request, Clock::time_point start = Clock::now())
      : client_(client), request_(std::move(request)), deadline_(client.DeadlineFrom(start)) {}
  ~Exchange() {
    if (!finished_) End(Outcome{0, {}, {}, std::make_exception_ptr(CancelledException("the adapter was closed"))});
  }

  std::function<void(Outcome)> done;

  // `retry`: the request could not be written on an idle connection; its
  // one more try goes on a fresh one.
  void Begin(bool retry = false) {
    retried_ = retry;
    std::shared_ptr<ClientConnection> connection = retry ? nullptr : client_.TakeIdle();
    if (connection && !connection->JoinReactor()) connection = nullptr;
    reused_ = connection != nullptr;
    if (!connection) connection = client_.Fresh();
    SetConnection(connection);
    asio::post(connection->GetStrand(), [self = shared_from_this(), reused = reused_] {
      if (reused) {
        self->Write();
      } else {
        self->Resolve();
      }
    });
  }

  // True when the call was still pending.
  bool Cancel() {
    if (finished_) return false;
    cancelled_ = true;
    std::shared_ptr<ClientConnection> connection = GetConnection();
    asio::post(connection->GetStrand(), [self = shared_from_this(), connection] {
      if (self->resolver_) self->resolver_->cancel();
      connection->Tcp().cancel();
    });
    return true;
  }

 private:
  void SetConnection(std::shared_ptr<ClientConnection> connection) {
    std::lock_guard lock(connectionMutex_);
    connection_ = std::move(connection);
  }
  std::shared_ptr<ClientConnection> GetConnection() {
    std::lock_guard lock(connectionMutex_);
    return connection_;
  }
  ClientConnection& Connection() { return *connection_; }  // on the strand, where only it changes

  std::string Where() const { return client_.Where(); }

  void Resolve() {
    if (cancelled_) return Cancelled();
    {
      std::lock_guard lock(client_.mutex);
      if (client_.resolved) return Connect(*client_.resolved);
    }
    resolver_.emplace(Connection().GetStrand());
    resolver_->async_resolve(
        client_.endpoint.host, client_.endpoint.port,
        [self = shared_from_this()](beast::error_code ec, tcp::resolver::results_type found) {
          if (self->cancelled_) return self->Cancelled();
          if (ec) {
            return self->Fail(TransportException("cannot resolve " + self->Where() + ": " + ec.message()));
          }
          {
            std::lock_guard lock(self->client_.mutex);
            self->client_.resolved = found;
          }
          self->Connect(found);
        });
  }

  // The connect timeout, or the call's deadline when that comes first.
  void ExpireForConnecting() {
    Clock::time_point limit = Clock::now() + client_.options.connectTimeout;
    connectTimeoutFirst_ = !deadline_ || limit < *deadline_;
    Connection().Tcp().expires_at(connectTimeoutFirst_ ? limit : *deadline_);
  }

  void ExpireForCall() {
    if (deadline_) {
      Connection().Tcp().expires_at(*deadline_);
    } else {
      Connection().Tcp().expires_never();
    }
  }

  void Connect(const tcp::resolver::results_type& endpoints) {
    ExpireForConnecting();
    Connection().Tcp().async_connect(
        endpoints, [self = shared_from_this()](beast::error_code ec, const tcp::endpoint&) {
          if (self->cancelled_) return self->Cancelled();
          if (ec == beast::error::timeout) return self->ConnectTimedOut("connect to");
          if (ec) return self->Fail(TransportException("cannot connect to " + self->Where() + ": " + ec.message()));
          beast::error_code ignored;
          self->Connection().Tcp().socket().set_option(tcp::no_delay(true), ignored);
          if (self->Connection().Secure()) return self->Handshake();
          self->Write();
        });
  }

  void ConnectTimedOut(const char* what) {
    if (connectTimeoutFirst_) {
      return Fail(TimeoutException(std::string("could not ") + what + " " + Where() +
                                   " within the connect timeout of " + Milliseconds(client_.options.connectTimeout)));
    }
    CallTimedOut();
  }

  void CallTimedOut() { FailWith(client_.CallTimedOut()); }

  void Handshake() {
    auto& stream = *Connection().Secure();
    const std::string& host = client_.endpoint.host;
    beast::error_code notAnAddress;
    asio::ip::make_address(host, notAnAddress);
    if (notAnAddress) SSL_set_tlsext_host_name(stream.native_handle(), host.c_str());  // a name: tell it (SNI)
    ClientConnection* connection = &Connection();
    bool pinned = !client_.pin.empty();
    stream.Verify([connection, pinned, host](bool preverified, X509_STORE_CTX* store) {
      if (pinned) return true;  // the thumbprint is checked once the handshake is done
      asio::ssl::verify_context context(store);
      if (!preverified) {
        connection->refusal = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
        return false;
      }
      if (X509_STORE_CTX_get_error_depth(store) == 0 &&
          !asio::ssl::host_name_verification(host)(preverified, context)) {
        connection->refusal = "its certificate is not for " + host;
        return false;
      }
      return true;
    });
    ExpireForConnecting();
    stream.async_handshake(asio::ssl::stream_base::client, [self = shared_from_this()](beast::error_code ec) {
      if (self->cancelled_) return self->Cancelled();
      ClientConnection& c = self->Connection();
      if (ec && !c.refusal.empty()) {
        return self->Fail(UntrustedServerException("the server at " + self->Where() + " is not trusted: " + c.refusal));
      }
      if (ec == beast::error::timeout) return self->ConnectTimedOut("shake hands with");
      if (ec) return self->Fail(TransportException("TLS with " + self->Where() + " failed: " + ec.message()));
      if (!self->client_.pin.empty()) {
        X509* certificate = SSL_get1_peer_certificate(c.Secure()->native_handle());
        std::string thumbprint = Thumbprint(certificate);
        X509_free(certificate);
        if (thumbprint != self->client_.pin) {
          return self->Fail(UntrustedServerException("the server at " + self->Where() +
                                                     " is not trusted: its certificate's SHA-256 thumbprint is " +
                                                     thumbprint + ", not the pinned one"));
        }
      }
      self->Write();
    });
  }

  void Write() {
    if (cancelled_) return Cancelled();
    ExpireForCall();
    Connection().Visit([this](auto& stream) {
      http::async_write(stream, request_, [self = shared_from_this()](beast::error_code ec, size_t) {
        if (self->cancelled_) return self->Cancelled();
        if (ec == beast::error::timeout) return self->CallTimedOut();
        // The server cannot have read a request it did not get whole: one
        // more try, on a fresh connection.
        if (ec && !self->retried_) return self->Retry();
        if (ec) return self->Fail(TransportException("cannot send the call to " + self->Where() + ": " + ec.message()));
        self->Read();
      });
    });
  }

  void Retry() {
    retried_ = true;
    Connection().Tcp().close();
    std::shared_ptr<ClientConnection> fresh = client_.Fresh();
    SetConnection(fresh);
    asio::post(fresh->GetStrand(), [self = shared_from_this()] { self->Resolve(); });
  }

  void Read() {
    parser_.emplace();
    parser_->body_limit(client_.options.limits.maxDocumentBytes);
    Connection().Visit([this](auto& stream) {
      http::async_read(stream, Connection().Buffer(), *parser_,
                       [self = shared_from_this()](beast::error_code ec, size_t) {
                         if (self->cancelled_) return self->Cancelled();
                         if (ec == beast::error::timeout) return self->CallTimedOut();
                         // The call may have run: never sent again.
                         if (ec) return self->FailWith(self->client_.BrokeBeforeTheAnswer(ec));
                         self->Answered();
                       });
    });
  }

  void Answered() {
    const auto& response = parser_->get();
    client_.KeepCookies(response);
    Outcome outcome{static_cast<int>(response.result_int()), std::string(response[http::field::content_type]),
                    std::move(parser_->get().body()), nullptr};
    if (response.keep_alive()) {
      Connection().Tcp().expires_never();
      client_.ReturnIdle(GetConnection());
    } else {
      Connection().Tcp().close();
    }
    End(std::move(outcome));
  }

  void Cancelled() { Fail(CancelledException("the call to " + Where() + " was cancelled")); }

  template <class E>
  void Fail(const E& error) {
    FailWith(std::make_exception_ptr(error));
  }
  void FailWith(std::exception_ptr error) {
    if (connection_) connection_->Tcp().close();
    End(Outcome{0, {}, {}, std::move(error)});
  }

  void End(Outcome outcome) {
    if (finished_.exchange(true)) return;
    std::function<void(Outcome)> report = std::move(done);
    if (report) report(std::move(outcome));
  }

  HttpAdapter::Impl& client_;
  http::request<http::string_body> request_;
  std::optional<http::response_parser<http::string_body>> parser_;
  std::optional<tcp::resolver> resolver_;
  std::mutex connectionMutex_;
  std::shared_ptr<ClientConnection> connection_;
  std::optional<Clock::time_point> deadline_;
  bool reused_ = false;
  bool retried_ = false;
  bool connectTimeoutFirst_ = false;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> finished_{false};
};

struct PendingCall::State {
  std::weak_ptr<Exchange> exchange;
  mutable std::mutex mutex;
  mutable std::condition_variable finishedChanged;
  bool finished = false;

  void Finish() {
    std::lock_guard lock(mutex);
    finished = true;
    finishedChanged.notify_all();
  }
};

PendingCall::~PendingCall() = default;

bool PendingCall::Cancel() {
  std::shared_ptr<Exchange> exchange = state_ ? state_->exchange.lock() : nullptr;
  return exchange && exchange->Cancel();
}

bool PendingCall::WaitFor(std::chrono::milliseconds timeout) const {
  if (!state_) return IsDone();
  std::unique_lock lock(state_->mutex);
  return state_->finishedChanged.wait_for(lock, timeout, [this] { return state_->finished; });
}

namespace {

// Hands InvokeToCompletion what an exchange ended with, as if it were the
// call: so asynchronous calls report like every other adapter's.
class AnsweredCall : public StubAdapter {
 public:
  AnsweredCall(const HttpAdapter::Impl& client, const Outcome& outcome) : client_(client), outcome_(outcome) {}
  void Invoke(MoRef*, ManagedMethod* method, std::vector<Haldun::Ref<Any>>&, Haldun::Ref<Any>& result,
              RequestContext*) override {
    if (outcome_.error) std::rethrow_exception(outcome_.error);
    result = client_.Decode(outcome_, *method);
  }
  void StartInvoke(MoRef*, ManagedMethod*, const std::vector<Haldun::Ref<Any>>&, RequestContext*,
                   const CompletionCallback&, Haldun::Ref<Haldun::System::ScheduledItem>&) override {
    throw Haldun::InvalidStateException("an answered call does not start again");
  }

 private:
  const HttpAdapter::Impl& client_;
  const Outcome& outcome_;
};

}  // namespace

HttpAdapter::Impl::Impl(ClientOptions clientOptions)
    : options(std::move(clientOptions)),
      endpoint(ParseEndpoint(options.endpoint)),
      codec(options.encoding, Wire::FindVersion(options.version), options.limits),
      encoding(codec.GetFormat().Name()),
      authorization(Protocol::AuthorizationOf(options.credentials)),
      io(options.ioThreads) {
  for (char c : options.thumbprint) {
    if (c != ':') pin += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!pin.empty() && (pin.size() != 64 || pin.find_first_not_of("0123456789abcdef") != std::string::npos)) {
    throw Haldun::InvalidArgumentException("a thumbprint is the 64 hex digits of a SHA-256: " + options.thumbprint);
  }
  if (endpoint.tls) {
    tls.emplace(asio::ssl::context::tls_client);
    tls->set_options(asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
    UseCipherSuites(*tls, options.cipherSuites);
    beast::error_code ec;
    if (options.caFile.empty()) {
      tls->set_default_verify_paths(ec);
    } else {
      tls->load_verify_file(options.caFile, ec);
    }
    if (ec) throw Haldun::InvalidArgumentException("cannot read CA file \"" + options.caFile + "\": " + ec.message());
  }
}

HttpAdapter::Impl::~Impl() {
  {
    std::lock_guard lock(mutex);
    idle.clear();
  }
  io.Shutdown();  // what is pending ends here, cancelled
}

http::request<http::string_body> HttpAdapter::Impl::Post(std::string body, RequestContext* context) {
  http::request<http::string_body> request(http::verb::post, endpoint.path, 11);
  request.set(http::field::host, endpoint.hostHeader);
  request.set(http::field::content_type, Protocol::ContentTypeOfEncoding(encoding));
  if (encoding == "xml") {
    request.set("SOAPAction", "\"" + std::string(Protocol::kSoapActionPrefix) + options.version + "\"");
  } else {
    request.set(Protocol::kVersionHeader, options.version);
  }
  if (context != nullptr && !context->GetAll().empty()) {
    request.set(Protocol::kContextHeader, Protocol::EncodeContext(*context));
  }
  if (!authorization.empty()) request.set(http::field::authorization, authorization);
  {
    std::lock_guard lock(mutex);
    std::string cookie;
    for (const auto& [name, value] : cookies) cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
    if (!cookie.empty()) request.set(http::field::cookie, cookie);
  }
  request.keep_alive(true);
  request.body() = std::move(body);
  request.prepare_payload();
  return request;
}

http::request<http::string_body> HttpAdapter::Impl::Get(const std::string& target) {
  http::request<http::string_body> request(http::verb::get, target, 11);
  request.set(http::field::host, endpoint.hostHeader);
  request.keep_alive(true);
  return request;
}

Haldun::Ref<Any> HttpAdapter::Impl::Decode(const Outcome& outcome, const ManagedMethod& method) const {
  bool document = outcome.status == 200 || outcome.status == 500;
  if (!document || Protocol::EncodingOfContentType(outcome.contentType) != encoding) {
    throw TransportException("the server at " + endpoint.host + ":" + endpoint.port + " answered " +
                             std::to_string(outcome.status) + " (" + outcome.contentType +
                             "): " + outcome.body.substr(0, 200));
  }
  return codec.DecodeResponse(outcome.body, method);
}

CallEvent HttpAdapter::Impl::EventOf(const MoRef* target, const ManagedMethod* method) const {
  return CallEvent{method ? method->GetName() : "", target ? target->GetTypeName() + ":" + target->GetId() : "",
                   options.credentials.user};
}

void HttpAdapter::Impl::After(const CallEvent& event, const Outcome& outcome, Clock::time_point start) const {
  if (options.hooks.after) {
    options.hooks.after(event, outcome.status,
                        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start));
  }
}

std::shared_ptr<ClientConnection> HttpAdapter::Impl::TakeIdle() {
  std::lock_guard lock(mutex);
  while (!idle.empty()) {
    std::shared_ptr<ClientConnection> connection = std::move(idle.back());
    idle.pop_back();
    if (connection->LooksReusable()) return connection;
  }
  return nullptr;
}

std::optional<Outcome> HttpAdapter::Impl::ExchangeHere(http::request<http::string_body>& request,
                                                       std::optional<Clock::time_point> deadline, bool& unwritten) {
  std::shared_ptr<ClientConnection> connection = TakeIdle();
  if (!connection) return std::nullopt;
  connection->LeaveReactor();
  http::response_parser<http::string_body> parser;
  parser.body_limit(options.limits.maxDocumentBytes);
  beast::error_code ec;
  std::string room = TakeAnswerRoom();
  switch (ExchangeOnCallingThread(*connection, request, parser, deadline, room, ec)) {
    case BlockingEnd::kAnswered: {
      auto& response = parser.get();
      KeepCookies(response);
      Outcome outcome{static_cast<int>(response.result_int()), std::string(response[http::field::content_type]),
                      std::move(response.body()), nullptr};
      if (response.keep_alive()) {
        ReturnIdle(std::move(connection));
      } else {
        connection->Close();
      }
      return outcome;
    }
    case BlockingEnd::kNotWritten:
      connection->Close();
      unwritten = true;
      return std::nullopt;
    case BlockingEnd::kTimedOut:
      connection->Close();
      return Outcome{0, {}, {}, CallTimedOut()};
    case BlockingEnd::kBroken:
      break;
  }
  connection->Close();
  return Outcome{0, {}, {}, BrokeBeforeTheAnswer(ec)};
}

std::string HttpAdapter::Impl::TakeAnswerRoom() {
  std::string room;
  std::lock_guard lock(mutex);
  room.swap(answerRoom);
  return room;
}

void HttpAdapter::Impl::KeepAnswerRoom(std::string&& answer) {
  if (answer.capacity() > kKeptAnswerRoom) return;
  std::lock_guard lock(mutex);
  if (answer.capacity() > answerRoom.capacity()) answerRoom.swap(answer);
}

void HttpAdapter::Impl::ReturnIdle(std::shared_ptr<ClientConnection> connection) {
  std::lock_guard lock(mutex);
  if (idle.size() < options.maxIdleConnections) idle.push_back(std::move(connection));
}

void HttpAdapter::Impl::KeepCookies(const http::response<http::string_body>& response) {
  auto [begin, end] = response.equal_range(http::field::set_cookie);
  for (auto field = begin; field != end; ++field) {
    std::string_view value = field->value();
    value = value.substr(0, value.find(';'));
    size_t equals = value.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    std::lock_guard lock(mutex);
    cookies[std::string(value.substr(0, equals))] = std::string(value.substr(equals + 1));
  }
}

HttpAdapter::HttpAdapter(ClientOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

HttpAdapter::~HttpAdapter() = default;

const Wire::Codec& HttpAdapter::GetCodec() const { return impl_->codec; }

void HttpAdapter::Invoke(MoRef* target, ManagedMethod* method, std::vector<Haldun::Ref<Any>>& args,
                         Haldun::Ref<Any>& result, RequestContext* context) {
  if (target == nullptr || method == nullptr) {
    throw Haldun::InvalidArgumentException("a call needs a target and a method");
  }
  http::request<http::string_body> request = impl_->Post(impl_->codec.EncodeRequest(*target, *method, args), context);
  CallEvent event = impl_->EventOf(target, method);
  if (impl_->options.hooks.before) impl_->options.hooks.before(event);
  Clock::time_point start = Clock::now();
  bool unwritten = false;
  std::optional<Outcome> here = impl_->ExchangeHere(request, impl_->DeadlineFrom(start), unwritten);
  Outcome outcome;
  if (here) {
    outcome = std::move(*here);
  } else {
    auto exchange = std::make_shared<Exchange>(*impl_, std::move(request), start);
    std::promise<Outcome> promise;
    std::future<Outcome> answer = promise.get_future();
    exchange->done = [&promise](Outcome outcome) { promise.set_value(std::move(outcome)); };
    exchange->Begin(unwritten);
    exchange.reset();
    outcome = answer.get();
  }
  impl_->After(event, outcome, start);
  if (outcome.error) std::rethrow_exception(outcome.error);
  result = impl_->Decode(outcome, *method);
  impl_->KeepAnswerRoom(std::move(outcome.body));
}

void HttpAdapter::StartInvoke(MoRef* target, ManagedMethod* method, const std::vector<Haldun::Ref<Any>>& args,
                              RequestContext* context, const CompletionCallback& callback,
                              Haldun::Ref<Haldun::System::ScheduledItem>& item) {
  Haldun::Ref<PendingCall> pending(new PendingCall());
  pending->state_ = std::make_shared<PendingCall::State>();
  item = Haldun::Ref<Haldun::System::ScheduledItem>(pending.Get());
  Haldun::Ref<MoRef> targetRef(target);
  Haldun::Ref<RequestContext> contextRef(context);
  auto report = [this, pending, targetRef, method, contextRef, callback](const Outcome& outcome) {
    AnsweredCall answered(*impl_, outcome);
    std::vector<Haldun::Ref<Any>> none;
    try {
      InvokeToCompletion(answered, targetRef.Get(), method, none, contextRef.Get(), *pending, callback);
    } catch (...) {
      // The callback raised; the item is done all the same, and the I/O thread goes on.
    }
    pending->state_->Finish();
  };
  std::string document;
  try {
    if (target == nullptr || method == nullptr) {
      throw Haldun::InvalidArgumentException("a call needs a target and a method");
    }
    document = impl_->codec.EncodeRequest(*target, *method, args);
  } catch (...) {
    return report(Outcome{0, {}, {}, std::current_exception()});
  }
  auto exchange = std::make_shared<Exchange>(*impl_, impl_->Post(std::move(document), context));
  pending->state_->exchange = exchange;
  CallEvent event = impl_->EventOf(target, method);
  if (impl_->options.hooks.before) impl_->options.hooks.before(event);
  exchange->done = [this, report, event, start = Clock::now()](Outcome outcome) {
    impl_->After(event, outcome, start);
    report(outcome);
  };
  exchange->Begin();
}

std::vector<std::string> HttpAdapter::ServedVersions() {
  auto exchange =
      std::make_shared<Exchange>(*impl_, impl_->Get(impl_->endpoint.path + std::string(Protocol::kVersionsSuffix)));
  std::promise<Outcome> promise;
  std::future<Outcome> answer = promise.get_future();
  exchange->done = [&promise](Outcome outcome) { promise.set_value(std::move(outcome)); };
  exchange->Begin();
  exchange.reset();
  Outcome outcome = answer.get();
  if (outcome.error) std::rethrow_exception(outcome.error);
  if (outcome.status != 200) {
    throw TransportException("the server answered " + std::to_string(outcome.status) + " when asked for its versions");
  }
  return Protocol::DecodeVersions(outcome.body);
}

std::string NewestCommonVersion(const std::vector<std::string>& served, std::string_view interfaceNamespace) {
  const Version* newest = Protocol::Newest(served, interfaceNamespace);
  if (newest == nullptr) {
    throw Haldun::NotFoundException("the server serves no version of " + std::string(interfaceNamespace) +
                                    " known here");
  }
  return newest->GetName();
}

}  // namespace Zamli::Http
