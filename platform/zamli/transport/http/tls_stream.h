#pragma once
// A TLS session over a TCP stream, on both sides, driving OpenSSL's record
// layer itself: encrypted records go from the session straight into one
// gathered buffer, to leave in as few sends as the socket allows, and
// records are read from the socket straight into the session, with no
// buffers of a stream layer in between. Its asynchronous operations run on
// the I/O threads under the tcp_stream's timeouts; its synchronous ones let
// a thread drive the same session, each wait a poll bounded by the deadline
// (by default no waiting at all, so an I/O thread is never blocked).
#include <haldun/exception.h>
#include <openssl/ssl.h>
#include <zamli/transport/http/polled_socket.h>

#include <boost/asio/compose.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream_base.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <functional>
#include <optional>
#include <string>

namespace Zamli::Http {

// The TLS 1.3 suites, most preferred first, when the options name none.
// AES-128-GCM first: as safe as the others here, and with AES instructions
// the cheapest to encrypt a large answer with; ChaCha20 last, being slower
// on such machines.
inline constexpr const char* kDefaultCipherSuites =
    "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256";

// Offers or accepts `suites` (OpenSSL's list syntax; empty: the default),
// in their order; a list naming no suite known here is refused.
inline void UseCipherSuites(boost::asio::ssl::context& context, const std::string& suites) {
  const std::string& chosen = suites.empty() ? std::string(kDefaultCipherSuites) : suites;
  if (SSL_CTX_set_ciphersuites(context.native_handle(), chosen.c_str()) != 1) {
    throw Haldun::InvalidArgumentException("no TLS 1.3 cipher suite known in \"" + chosen + "\"");
  }
}

class TlsStream : public ThrowingOverloads<TlsStream> {
 public:
  using executor_type = boost::beast::tcp_stream::executor_type;
  using Deadline = std::optional<PolledSocket::Clock::time_point>;
  // Judges the peer's certificate at each depth of its chain, as OpenSSL's
  // verify callback does.
  using Verifier = std::function<bool(bool preverified, X509_STORE_CTX* store)>;

  // `executorOrSocket`: what a tcp_stream is made of.
  template <class ExecutorOrSocket>
  TlsStream(ExecutorOrSocket&& executorOrSocket, boost::asio::ssl::context& context)
      : tcp_(std::forward<ExecutorOrSocket>(executorOrSocket)) {
    Open(context);
  }
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  boost::beast::tcp_stream& Tcp() { return tcp_; }
  executor_type get_executor() { return tcp_.get_executor(); }
  SSL* native_handle() { return ssl_; }
  // Asks for the peer's certificate and judges it with `verifier`.
  void Verify(Verifier verifier);
  // True when the session holds input no one has read yet.
  bool HasUnread() const { return in_.size() > 0 || SSL_has_pending(ssl_) == 1; }

  // For the synchronous operations from now on: the socket (-1: the
  // stream's own), and what bounds their waits (nullopt: nothing).
  void SetCallingThread(int fd, Deadline deadline) {
    fd_ = fd;
    deadline_ = deadline;
  }

  // Synchronous: a write encrypts into the gathered records (SendGathered
  // sends them); a read waits for input within the deadline.
  template <class Buffers>
  size_t write_some(const Buffers& buffers, boost::beast::error_code& ec) {
    return Encrypt(buffers, ec);
  }
  template <class Buffers>
  size_t read_some(const Buffers& buffers, boost::beast::error_code& ec);
  using ThrowingOverloads::read_some;
  using ThrowingOverloads::write_some;

  bool HasGathered() const { return gathered_.size() > sent_; }
  // Sends what the writes gathered, waiting within the deadline.
  void SendGathered(boost::beast::error_code& ec);
  // The rest of what was gathered, by the I/O threads.
  template <class Handler>
  void AsyncSendGathered(Handler&& handler) {
    boost::asio::async_write(
        tcp_, Unsent(), [this, handler = std::forward<Handler>(handler)](boost::beast::error_code ec, size_t) mutable {
          Clear();
          handler(ec);
        });
  }
  // Room for the records of a message this large, so that gathering a large
  // answer copies each record once instead of regrowing at every doubling.
  void ReserveFor(size_t plainBytes) {
    gathered_.reserve(gathered_.size() + plainBytes + plainBytes / 256 + kHeadRoom);
  }

  // Asynchronous, on the I/O threads: each sends what it gathered before it
  // completes or waits for input.
  template <class Handler>
  void async_handshake(boost::asio::ssl::stream_base::handshake_type side, Handler&& handler) {
    if (side == boost::asio::ssl::stream_base::server) {
      SSL_set_accept_state(ssl_);
    } else {
      SSL_set_connect_state(ssl_);
    }
    boost::asio::async_compose<Handler, void(boost::beast::error_code)>(
        Operation<Step::kHandshake, boost::asio::const_buffer>(*this, {}), handler, tcp_);
  }
  template <class Buffers, class Handler>
  void async_read_some(const Buffers& buffers, Handler&& handler) {
    boost::asio::async_compose<Handler, void(boost::beast::error_code, size_t)>(
        Operation<Step::kRead, Buffers>(*this, buffers), handler, tcp_);
  }
  template <class Buffers, class Handler>
  void async_write_some(const Buffers& buffers, Handler&& handler) {
    boost::asio::async_compose<Handler, void(boost::beast::error_code, size_t)>(
        Operation<Step::kWrite, Buffers>(*this, buffers), handler, tcp_);
  }

 private:
  enum class Step { kHandshake, kRead, kWrite };
  // Drives one step of the session on the I/O threads: sends what it wrote,
  // reads into the session while it waits for input, and completes once the
  // step does.
  template <Step kStep, class Buffers>
  struct Operation {
    Operation(TlsStream& stream, const Buffers& buffers) : stream(stream), buffers(buffers) {}

    TlsStream& stream;
    Buffers buffers;
    enum class Phase { kRun, kSent, kReceived, kDone } phase = Phase::kRun;
    bool waited = false;  // an operation was started: completing now is not inline
    bool wantRead = false;
    boost::beast::error_code result;
    size_t bytes = 0;

    template <class Self>
    void operator()(Self& self, boost::beast::error_code ec = {}, size_t n = 0) {
      switch (phase) {
        case Phase::kDone:
          return Complete(self);
        case Phase::kSent:
          stream.Clear();
          if (ec) return Finish(self, ec, 0);
          break;
        case Phase::kReceived:
          if (ec == boost::asio::error::eof) {
            stream.inputEnded_ = true;
          } else if (ec) {
            return Finish(self, ec, 0);
          }
          stream.in_.commit(n);
          [[fallthrough]];
        case Phase::kRun:
          bytes = RunStep();
          if (stream.HasGathered()) {
            phase = Phase::kSent;
            waited = true;
            return boost::asio::async_write(stream.tcp_, stream.Unsent(), std::move(self));
          }
          break;
      }
      if (wantRead && !result) {
        phase = Phase::kReceived;
        waited = true;
        return stream.tcp_.async_read_some(stream.in_.prepare(kReadRoom), std::move(self));
      }
      Finish(self, result, bytes);
    }

    size_t RunStep() {
      if constexpr (kStep == Step::kHandshake) {
        stream.Run([&] { return SSL_do_handshake(stream.ssl_); }, result, wantRead);
        return 0;
      } else if constexpr (kStep == Step::kRead) {
        return stream.Decrypt(buffers, result, wantRead);
      } else {
        wantRead = false;
        return stream.Encrypt(buffers, result);
      }
    }

    template <class Self>
    void Finish(Self& self, boost::beast::error_code ec, size_t n) {
      result = ec;
      bytes = n;
      if (waited) return Complete(self);
      // Never complete inside the call that started the operation.
      phase = Phase::kDone;
      boost::asio::post(stream.tcp_.get_executor(), std::move(self));
    }
    template <class Self>
    void Complete(Self& self) {
      if constexpr (kStep == Step::kHandshake) {
        self.complete(result);
      } else {
        self.complete(result, bytes);
      }
    }
  };
  friend struct Bio;

  static constexpr size_t kKeptRoom = 64 * 1024;
  // Headers, and each record's own header and tag (far below 1/256 of it).
  static constexpr size_t kHeadRoom = 4096;
  // The most plaintext a record carries.
  static constexpr size_t kRecord = 16 * 1024;
  // What an asynchronous read takes when the session waits: the first bytes
  // to come; the rest is read from the socket straight into the session.
  static constexpr size_t kReadRoom = 4096;

  void Open(boost::asio::ssl::context& context);
  PolledSocket Polled() { return PolledSocket(Fd(), deadline_); }
  int Fd() { return fd_ >= 0 ? fd_ : tcp_.socket().native_handle(); }
  boost::asio::const_buffer Unsent() const {
    return boost::asio::buffer(gathered_.data() + sent_, gathered_.size() - sent_);
  }
  void Clear();

  // One call into the session: its positive result, or 0 with `ec` set or
  // `wantRead` when it needs input the socket does not have yet.
  template <class Call>
  int Run(Call&& call, boost::beast::error_code& ec, bool& wantRead) {
    ec = {};
    wantRead = false;
    ioError_ = 0;
    ERR_clear_error();
    int result = call();
    if (result <= 0) ErrorOf(result, ec, wantRead);
    return result;
  }
  void ErrorOf(int result, boost::beast::error_code& ec, bool& wantRead);

  template <class Buffers>
  size_t Decrypt(const Buffers& buffers, boost::beast::error_code& ec, bool& wantRead) {
    for (auto it = boost::asio::buffer_sequence_begin(buffers); it != boost::asio::buffer_sequence_end(buffers); ++it) {
      boost::asio::mutable_buffer piece(*it);
      if (piece.size() == 0) continue;
      int size = static_cast<int>(std::min<size_t>(piece.size(), 1 << 30));
      int n = Run([&] { return SSL_read(ssl_, piece.data(), size); }, ec, wantRead);
      return n > 0 ? static_cast<size_t>(n) : 0;
    }
    ec = {};
    wantRead = false;
    return 0;
  }
  // Encrypts the whole sequence: small leading pieces (headers) share a
  // record with what follows, and large pieces go in whole.
  template <class Buffers>
  size_t Encrypt(const Buffers& buffers, boost::beast::error_code& ec) {
    ec = {};
    size_t done = 0;
    stage_.clear();
    for (auto it = boost::asio::buffer_sequence_begin(buffers); it != boost::asio::buffer_sequence_end(buffers); ++it) {
      boost::asio::const_buffer piece(*it);
      const char* data = static_cast<const char*>(piece.data());
      size_t size = piece.size();
      while (size > 0) {
        if (stage_.empty() && size >= kRecord) {
          if (!EncryptPiece(data, size, ec)) return done;
          done += size;
          size = 0;
        } else {
          size_t take = std::min(size, kRecord - stage_.size());
          stage_.append(data, take);
          data += take;
          size -= take;
          if (stage_.size() == kRecord && !EncryptStage(done, ec)) return done;
        }
      }
    }
    if (!stage_.empty()) EncryptStage(done, ec);
    return done;
  }
  bool EncryptStage(size_t& done, boost::beast::error_code& ec) {
    if (!EncryptPiece(stage_.data(), stage_.size(), ec)) return false;
    done += stage_.size();
    stage_.clear();
    return true;
  }
  bool EncryptPiece(const char* data, size_t size, boost::beast::error_code& ec);

  boost::beast::tcp_stream tcp_;
  SSL* ssl_ = nullptr;
  Verifier verifier_;
  int fd_ = -1;
  Deadline deadline_ = PolledSocket::Clock::time_point{};  // long past: no waiting
  int ioError_ = 0;        // the socket's error, when reading it failed
  bool inputEnded_ = false;  // the peer closed, seen by an asynchronous read
  boost::beast::flat_buffer in_;  // what an asynchronous read took for the session
  std::string gathered_;
  size_t sent_ = 0;
  std::string stage_;
};

template <class Buffers>
size_t TlsStream::read_some(const Buffers& buffers, boost::beast::error_code& ec) {
  for (;;) {
    bool wantRead = false;
    size_t n = Decrypt(buffers, ec, wantRead);
    if (HasGathered()) {
      boost::beast::error_code unsent;
      SendGathered(unsent);
      if (unsent && !ec) ec = unsent;
    }
    if (!wantRead || ec) return n;
    if (!Polled().Wait(POLLIN, ec)) return 0;
  }
}

}  // namespace Zamli::Http
