// The server's connections: accept, read a request within its limits,
// answer HTTP-level problems at once, answer calls (on the I/O thread when
// nothing else waits on it, else on the dispatch pool) and write the answer.
// Each I/O thread runs its own context, and each connection stays on one.
#include <unistd.h>
#include <zamli/transport/http/call_answerer.h>
#include <zamli/transport/http/io_threads.h>
#include <zamli/transport/http/protocol.h>
#include <zamli/transport/http/server.h>
#include <zamli/transport/http/tls_stream.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <condition_variable>
#include <mutex>

namespace Zamli::Http {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// An I/O thread's share of the connections. A call may run on the thread
// that read it only while its connection is the thread's one connection and
// the thread listens for none: nothing else then waits on that thread, so a
// slow implementation holds up only its own connection. New connections go
// to threads not running a call.
class IoLane {
 public:
  IoLane(asio::io_context& context, bool listens) : context_(context), listens_(listens) {}

  asio::io_context& Context() { return context_; }
  // What the lane carries, for choosing one; none while a call runs on it.
  std::optional<unsigned> Load() const {
    unsigned state = state_.load();
    if ((state & kCallRuns) != 0) return std::nullopt;
    return state / kConnection + (listens_ ? 1 : 0);
  }
  // Takes a new connection unless a call runs on the lane.
  bool Join() {
    unsigned state = state_.load();
    while ((state & kCallRuns) == 0) {
      if (state_.compare_exchange_weak(state, state + kConnection)) return true;
    }
    return false;
  }
  void Leave() { state_.fetch_sub(kConnection); }
  bool TakeInlineTurn() {
    unsigned alone = kConnection;
    return !listens_ && state_.compare_exchange_strong(alone, kConnection | kCallRuns);
  }
  void EndInlineTurn() { state_.fetch_and(~kCallRuns); }

 private:
  static constexpr unsigned kCallRuns = 1;
  static constexpr unsigned kConnection = 2;

  asio::io_context& context_;
  const bool listens_;  // the acceptors run here
  std::atomic<unsigned> state_{0};  // connections * kConnection | kCallRuns
};

}  // namespace

struct HttpServer::Impl {
  Impl(ObjectDirectory& objects, ServerOptions options);
  void Accept(tcp::acceptor& acceptor);
  IoLane& LaneForNewConnection();
  void Stop();

  // Counts a request from when it has been read until its answer is written.
  void CallBegins() { ++inFlight_; }
  void CallEnds() {
    if (--inFlight_ == 0) {
      std::lock_guard lock(drainMutex_);
      drained_.notify_all();
    }
  }
  ServerOptions options;
  CallAnswerer answerer;
  std::optional<asio::ssl::context> tls;
  std::atomic<bool> stopping{false};
  std::atomic<size_t> connections{0};
  IoThreads io;
  std::vector<std::unique_ptr<IoLane>> lanes;
  asio::thread_pool dispatch;
  std::vector<std::unique_ptr<tcp::acceptor>> acceptors;
  std::vector<unsigned short> ports;

 private:
  std::atomic<int> inFlight_{0};
  std::mutex drainMutex_;
  std::condition_variable drained_;
  std::mutex stopMutex_;
  bool stopped_ = false;
};

namespace {

// One connection, plain or TLS, from accept to close.
template <class Stream>
class Connection : public std::enable_shared_from_this<Connection<Stream>> {
 public:
  // `lane`: joined for this connection, which leaves it when it ends.
  template <class... StreamArgs>
  Connection(HttpServer::Impl& server, IoLane& lane, StreamArgs&&... streamArgs)
      : server_(server), lane_(lane), stream_(std::forward<StreamArgs>(streamArgs)...), timer_(stream_.get_executor()) {
    ++server_.connections;
  }
  ~Connection() {
    --server_.connections;
    lane_.Leave();
  }

  void Start(bool overLimit) {
    if (overLimit) return Refuse(http::status::service_unavailable, "too many connections\n");
    if constexpr (kTls) {
      ExpiresAfter(server_.options.headerReadTimeout);
      stream_.async_handshake(asio::ssl::stream_base::server, [self = this->shared_from_this()](beast::error_code ec) {
        if (!ec) self->WaitForRequest(true);
      });
    } else {
      WaitForRequest(true);
    }
  }

 private:
  static constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;

  beast::tcp_stream& Tcp() {
    if constexpr (kTls) {
      return stream_.Tcp();
    } else {
      return stream_;
    }
  }

  // The connection's deadline, watched by a timer set no later than it: a
  // deadline later than the timer (each request's) moves no timer, and so
  // costs no system call; the timer, when it comes early, is set again for
  // the deadline. When the deadline passes, the socket closes, and what
  // waits on it ends with an error.
  void ExpiresAfter(std::chrono::milliseconds timeout) {
    deadline_ = Clock::now() + timeout;
    if (!timerSet_ || timer_.expiry() > deadline_) SetTimer();
  }
  void ExpiresNever() { deadline_ = Clock::time_point::max(); }
  void SetTimer() {
    timerSet_ = true;
    timer_.expires_at(deadline_);
    timer_.async_wait([weak = this->weak_from_this()](beast::error_code ec) {
      std::shared_ptr<Connection> self = weak.lock();
      if (self && !ec) self->OnTimer();
    });
  }
  void OnTimer() {
    Clock::time_point now = Clock::now();
    if (timer_.expiry() > now) return;  // set again since it fired
    timerSet_ = false;
    if (deadline_ == Clock::time_point::max()) return;
    if (now < deadline_) return SetTimer();
    Tcp().close();
  }

  // Waits for the first byte of a request: the idle timeout applies until
  // it comes, the header read timeout from then on.
  void WaitForRequest(bool first) {
    if (server_.stopping) return Close();
    if (buffer_.size() > 0) return ReadHeader();
    if (buffer_.capacity() >= kLargeRead) buffer_.shrink_to_fit();
    ExpiresAfter(first ? server_.options.headerReadTimeout : server_.options.idleTimeout);
    stream_.async_read_some(buffer_.prepare(4096), [self = this->shared_from_this()](beast::error_code ec, size_t n) {
      if (ec) return self->Close();
      self->buffer_.commit(n);
      self->ReadHeader();
    });
  }

  void ReadHeader() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(server_.options.maxHeaderBytes));
    parser_->body_limit(server_.options.limits.maxDocumentBytes);
    if (ParseBuffered()) return;
    ExpiresAfter(server_.options.headerReadTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = this->shared_from_this()](beast::error_code ec, size_t) { self->OnHeader(ec); });
  }

  // A small request mostly comes whole with its first read: parsed here, it
  // costs no round through the I/O queue. True when what is buffered settles
  // the request, whole or malformed.
  bool ParseBuffered() {
    parser_->eager(true);
    beast::error_code ec;
    while (buffer_.size() > 0 && !parser_->is_done()) {
      size_t used = parser_->put(buffer_.data(), ec);
      buffer_.consume(used);
      if (ec || used == 0) break;
    }
    if (ec == http::error::need_more || (!ec && !parser_->is_done())) return false;
    OnHeader(ec);
    return true;
  }

  void OnHeader(beast::error_code ec) {
    if (ec == http::error::body_limit) return Refuse(http::status::payload_too_large, "request too large\n");
    if (ec == http::error::header_limit) {
      return Refuse(http::status::request_header_fields_too_large, "header too large\n");
    }
    if (ec == beast::error::timeout || ec == http::error::end_of_stream || ec == asio::error::eof ||
        ec == asio::error::operation_aborted || ec == asio::error::connection_reset) {
      return Close();
    }
    if (ec) return Refuse(http::status::bad_request, "malformed request\n");
    const auto& header = parser_->get();
    std::string_view target = header.target();
    const std::string& path = server_.options.path;
    bool versions = target == path + std::string(Protocol::kVersionsSuffix);
    if (target != path && !versions) return Refuse(http::status::not_found, "no such path\n");
    if (versions) {
      if (header.method() != http::verb::get) return Refuse(http::status::method_not_allowed, "use GET\n");
      return Reply(http::status::ok, "application/json", server_.answerer.VersionsDocument(), {}, header.keep_alive());
    }
    if (header.method() != http::verb::post) return Refuse(http::status::method_not_allowed, "use POST\n");
    if (parser_->chunked() || !parser_->content_length()) {
      return Refuse(http::status::length_required, "a call needs a Content-Length\n");
    }
    if (Protocol::EncodingOfContentType(header[http::field::content_type]).empty()) {
      return Refuse(http::status::unsupported_media_type, "text/xml or application/json\n");
    }
    if (parser_->is_done()) return OnBody({});
    // A read takes at most the buffer's free room: a large body gets room
    // for large reads, given back once the call is answered.
    if (*parser_->content_length() > buffer_.capacity()) {
      buffer_.reserve(static_cast<size_t>(std::min<std::uint64_t>(*parser_->content_length(), kLargeRead)));
    }
    ExpiresAfter(server_.options.bodyReadTimeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = this->shared_from_this()](beast::error_code ec, size_t) { self->OnBody(ec); });
  }

  void OnBody(beast::error_code ec) {
    if (ec == http::error::body_limit) return Refuse(http::status::payload_too_large, "request too large\n");
    if (ec == http::error::partial_message) return Refuse(http::status::bad_request, "truncated body\n");
    if (ec) return Close();
    ExpiresNever();
    server_.CallBegins();
    if (lane_.TakeInlineTurn()) {
      CallAnswer answer = AnswerCall();
      lane_.EndInlineTurn();
      return ReplyToCall(std::move(answer));
    }
    // Off the I/O threads: the implementation may take its time.
    asio::post(server_.dispatch, [self = this->shared_from_this()] {
      CallAnswer answer = self->AnswerCall();
      asio::post(self->Tcp().get_executor(),
                 [self, answer = std::move(answer)]() mutable { self->ReplyToCall(std::move(answer)); });
    });
  }

  CallAnswer AnswerCall() {
    const auto& request = parser_->get();
    CallRequest call{request[http::field::content_type],
                     request["SOAPAction"],
                     request[Protocol::kVersionHeader],
                     request[Protocol::kContextHeader],
                     request[http::field::authorization],
                     request[http::field::cookie],
                     request.body()};
    try {
      return server_.answerer.Answer(call);
    } catch (const std::exception& e) {
      return CallAnswer{500, "text/plain", std::string("the call could not be answered: ") + e.what() + "\n", {}};
    }
  }

  void ReplyToCall(CallAnswer answer) {
    Reply(static_cast<http::status>(answer.status), answer.contentType, std::move(answer.body), answer.setCookie,
          parser_->get().keep_alive(), true);
  }

  // An HTTP-level problem: a short answer, then the connection closes (what
  // follows in it cannot be trusted to be a request).
  void Refuse(http::status status, std::string_view body) { Reply(status, "text/plain", std::string(body), {}, false); }

  void Reply(http::status status, std::string_view contentType, std::string body, const std::string& setCookie,
             bool keepAlive, bool call = false) {
    serializer_.reset();  // it refers to the answer before
    response_.emplace(status, 11);
    response_->set(http::field::content_type, contentType);
    if (!setCookie.empty()) response_->set(http::field::set_cookie, setCookie);
    response_->body() = std::move(body);
    response_->keep_alive(keepAlive && !server_.stopping);
    response_->prepare_payload();
    serializer_.emplace(*response_);
    if constexpr (!kTls) {
      // What the socket takes at once goes now: an answer that fits costs no
      // round through the I/O queue. The rest, if any, goes asynchronously.
      beast::error_code ec;
      if (!Tcp().socket().non_blocking()) Tcp().socket().non_blocking(true, ec);
      if (!ec) http::write(Tcp().socket(), *serializer_, ec);
      if (ec != asio::error::would_block) return Written(ec, call, false);
    } else {
      // The answer is encrypted whole, what the socket takes goes now, and
      // the rest in one asynchronous write rather than one per record.
      beast::error_code ec;
      TlsStream& below = stream_;
      below.ReserveFor(response_->body().size());
      http::write(stream_, *serializer_, ec);
      if (ec) return Written(ec, call, false);
      below.SendGathered(ec);  // times out at once when the socket is full
      if (ec != beast::error::timeout) return Written(ec, call, false);
      ExpiresAfter(server_.options.bodyReadTimeout);
      return below.AsyncSendGathered(
          [self = this->shared_from_this(), call](beast::error_code ec) { self->Written(ec, call, true); });
    }
    ExpiresAfter(server_.options.bodyReadTimeout);
    http::async_write(stream_, *serializer_, [self = this->shared_from_this(), call](beast::error_code ec, size_t) {
      self->Written(ec, call, true);
    });
  }

  void Written(beast::error_code ec, bool call, bool async) {
    if (call) server_.CallEnds();
    if (ec) return Close();
    if (!response_->keep_alive()) return Linger();
    // A request already buffered is taken up from the queue, so that a client
    // sending many at once cannot deepen this stack.
    if (!async && buffer_.size() > 0) {
      return asio::post(Tcp().get_executor(), [self = this->shared_from_this()] { self->WaitForRequest(false); });
    }
    WaitForRequest(false);
  }

  // Closing with unread input would reset the connection, and the client
  // could lose the answer: stop sending, and read what still comes for a
  // moment before closing.
  void Linger() {
    beast::error_code ignored;
    Tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
    ExpiresAfter(kLinger);
    Tcp().async_read_some(asio::buffer(scratch_), [self = this->shared_from_this()](beast::error_code ec, size_t) {
      if (ec) return self->Tcp().close();
      self->Tcp().async_read_some(asio::buffer(self->scratch_),
                                  [self](beast::error_code, size_t) { self->Tcp().close(); });
    });
  }

  void Close() {
    beast::error_code ignored;
    Tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
    Tcp().close();
  }

  using Clock = asio::steady_timer::clock_type;
  static constexpr std::chrono::milliseconds kLinger{250};
  static constexpr size_t kLargeRead = 64 * 1024;

  HttpServer::Impl& server_;
  IoLane& lane_;
  Stream stream_;
  asio::steady_timer timer_;
  Clock::time_point deadline_ = Clock::time_point::max();
  bool timerSet_ = false;
  std::array<char, 4096> scratch_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::optional<http::response<http::string_body>> response_;
  std::optional<http::response_serializer<http::string_body>> serializer_;
};

}  // namespace

HttpServer::Impl::Impl(ObjectDirectory& objects, ServerOptions serverOptions)
    : options(std::move(serverOptions)),
      answerer(objects, options),
      io(options.ioThreads, IoThreads::Contexts::kOnePerThread),
      dispatch(static_cast<size_t>(std::max(1, options.dispatchThreads))) {
  for (size_t i = 0; i < io.ContextCount(); ++i) lanes.push_back(std::make_unique<IoLane>(io.Context(i), i == 0));
  if (!options.plainHttp) {
    tls.emplace(asio::ssl::context::tls_server);
    tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                     asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
    SSL_CTX_set_options(tls->native_handle(), SSL_OP_CIPHER_SERVER_PREFERENCE);
    UseCipherSuites(*tls, options.cipherSuites);
    beast::error_code ec;
    tls->use_certificate_chain_file(options.certificateFile, ec);
    if (!ec) tls->use_private_key_file(options.keyFile, asio::ssl::context::pem, ec);
    if (ec) {
      throw Haldun::InvalidArgumentException("cannot use certificate \"" + options.certificateFile + "\" and key \"" +
                                             options.keyFile + "\": " + ec.message());
    }
  }
  for (const ListenAddress& address : options.listen) {
    beast::error_code ec;
    tcp::endpoint endpoint(asio::ip::make_address(address.host, ec), address.port);
    auto acceptor = std::make_unique<tcp::acceptor>(lanes.front()->Context());
    if (!ec) acceptor->open(endpoint.protocol(), ec);
    if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor->bind(endpoint, ec);
    if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      throw Haldun::InvalidArgumentException("cannot listen on " + address.host + ":" + std::to_string(address.port) +
                                             ": " + ec.message());
    }
    ports.push_back(acceptor->local_endpoint().port());
    acceptors.push_back(std::move(acceptor));
  }
  for (auto& acceptor : acceptors) Accept(*acceptor);
}

IoLane& HttpServer::Impl::LaneForNewConnection() {
  // The least loaded lane running no call; one that listens never runs a
  // call, so the first lane always remains.
  for (;;) {
    IoLane* least = nullptr;
    unsigned leastLoad = 0;
    for (auto& lane : lanes) {
      std::optional<unsigned> load = lane->Load();
      if (load && (least == nullptr || *load < leastLoad)) {
        least = lane.get();
        leastLoad = *load;
      }
    }
    if (least != nullptr && least->Join()) return *least;
  }
}

void HttpServer::Impl::Accept(tcp::acceptor& acceptor) {
  acceptor.async_accept([this, &acceptor](beast::error_code ec, tcp::socket accepted) {
    if (ec == asio::error::operation_aborted || stopping) return;
    if (!ec) accepted.set_option(tcp::no_delay(true), ec);
    // The connection moves to its lane's context, and starts there.
    IoLane& lane = LaneForNewConnection();
    tcp::socket socket(lane.Context());
    tcp::socket::protocol_type protocol = tcp::v4();
    if (!ec) protocol = accepted.local_endpoint(ec).protocol();
    if (!ec) {
      tcp::socket::native_handle_type handle = accepted.release(ec);
      if (!ec) socket.assign(protocol, handle, ec);
      if (ec) ::close(handle);
    }
    if (ec) {
      lane.Leave();
    } else {
      bool overLimit = connections >= options.maxConnections;
      if (tls) {
        auto connection = std::make_shared<Connection<TlsStream>>(*this, lane, std::move(socket), *tls);
        asio::post(lane.Context(), [connection, overLimit] { connection->Start(overLimit); });
      } else {
        auto connection = std::make_shared<Connection<beast::tcp_stream>>(*this, lane, std::move(socket));
        asio::post(lane.Context(), [connection, overLimit] { connection->Start(overLimit); });
      }
    }
    Accept(acceptor);
  });
}

void HttpServer::Impl::Stop() {
  std::lock_guard stopLock(stopMutex_);
  if (stopped_) return;
  stopped_ = true;
  stopping = true;
  for (auto& acceptor : acceptors) {
    asio::post(acceptor->get_executor(), [&acceptor] {
      beast::error_code ignored;
      acceptor->close(ignored);
    });
  }
  {
    std::unique_lock lock(drainMutex_);
    drained_.wait_for(lock, options.drainTimeout, [this] { return inFlight_ == 0; });
  }
  dispatch.join();
  io.StopThreads();
  acceptors.clear();  // their strands belong to the context: gone before it
  io.Shutdown();      // closes every connection left
}

HttpServer::HttpServer(ObjectDirectory& objects, ServerOptions options)
    : impl_(std::make_unique<Impl>(objects, std::move(options))) {}

HttpServer::~HttpServer() { Stop(); }

std::vector<unsigned short> HttpServer::Ports() const { return impl_->ports; }

void HttpServer::Stop() { impl_->Stop(); }

}  // namespace Zamli::Http
