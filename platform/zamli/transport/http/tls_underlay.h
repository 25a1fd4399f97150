#pragma once
// The TCP stream under TLS, on both sides, and the suites TLS uses. Its asynchronous operations are
// the tcp_stream's, for the I/O threads. Its synchronous ones let a thread
// drive the same TLS session without an I/O round per record: writes gather
// the encrypted records, to go out in as few sends as the socket allows
// (SendGathered, or AsyncSendGathered for what the socket would not take at
// once); reads wait by poll until the deadline, and by default not at all,
// so an I/O thread is never blocked.
#include <haldun/exception.h>
#include <openssl/ssl.h>
#include <zamli/transport/http/polled_socket.h>

#include <boost/asio/ssl/context.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/tcp_stream.hpp>
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

class TlsUnderlay {
 public:
  using executor_type = boost::beast::tcp_stream::executor_type;
  using lowest_layer_type = boost::beast::tcp_stream::socket_type;
  using Deadline = std::optional<PolledSocket::Clock::time_point>;

  template <class Executor>
  explicit TlsUnderlay(Executor&& executor) : tcp_(std::forward<Executor>(executor)) {}

  boost::beast::tcp_stream& Tcp() { return tcp_; }
  executor_type get_executor() { return tcp_.get_executor(); }
  lowest_layer_type& lowest_layer() { return tcp_.socket(); }

  // For the synchronous operations from now on: the socket (-1: the
  // stream's own), and what bounds their waits (nullopt: nothing).
  void SetCallingThread(int fd, Deadline deadline) {
    fd_ = fd;
    deadline_ = deadline;
  }
  bool HasGathered() const { return gathered_.size() > sent_; }
  // Sends what the writes gathered, waiting within the deadline.
  void SendGathered(boost::beast::error_code& ec) {
    ec = {};
    PolledSocket socket = Polled();
    while (!ec && HasGathered()) sent_ += socket.write_some(Unsent(), ec);
    if (!HasGathered()) Clear();
  }
  // The rest of what was gathered, by the I/O threads.
  template <class Handler>
  void AsyncSendGathered(Handler&& handler) {
    boost::asio::async_write(
        tcp_, Unsent(), [this, handler = std::forward<Handler>(handler)](boost::beast::error_code ec, size_t) mutable {
          Clear();
          handler(ec);
        });
  }

  template <class Buffers, class Handler>
  auto async_read_some(const Buffers& buffers, Handler&& handler) {
    return tcp_.async_read_some(buffers, std::forward<Handler>(handler));
  }
  template <class Buffers, class Handler>
  auto async_write_some(const Buffers& buffers, Handler&& handler) {
    return tcp_.async_write_some(buffers, std::forward<Handler>(handler));
  }
  template <class Buffers, class... Error>
  size_t read_some(const Buffers& buffers, Error&... ec) {
    return Polled().read_some(buffers, ec...);
  }
  template <class Buffers, class... Error>
  size_t write_some(const Buffers& buffers, Error&... ec) {
    ((ec = {}), ...);
    size_t size = 0;
    for (auto it = boost::asio::buffer_sequence_begin(buffers); it != boost::asio::buffer_sequence_end(buffers); ++it) {
      boost::asio::const_buffer piece(*it);
      gathered_.append(static_cast<const char*>(piece.data()), piece.size());
      size += piece.size();
    }
    return size;
  }
  // Room for the records of a message this large, so that gathering a large
  // answer copies each record once instead of regrowing at every doubling.
  void ReserveFor(size_t plainBytes) {
    gathered_.reserve(gathered_.size() + plainBytes + plainBytes / 256 + kHeadRoom);
  }

 private:
  PolledSocket Polled() { return PolledSocket(fd_ >= 0 ? fd_ : tcp_.socket().native_handle(), deadline_); }
  boost::asio::const_buffer Unsent() const {
    return boost::asio::buffer(gathered_.data() + sent_, gathered_.size() - sent_);
  }
  void Clear() {
    // An idle connection keeps no large answer's room.
    if (gathered_.capacity() > kKeptRoom) {
      std::string().swap(gathered_);
    } else {
      gathered_.clear();
    }
    sent_ = 0;
  }

  static constexpr size_t kKeptRoom = 64 * 1024;
  // Headers, and each record's own header and tag (far below 1/256 of it).
  static constexpr size_t kHeadRoom = 4096;

  boost::beast::tcp_stream tcp_;
  int fd_ = -1;
  Deadline deadline_ = PolledSocket::Clock::time_point{};  // long past: no waiting
  std::string gathered_;
  size_t sent_ = 0;
};

}  // namespace Zamli::Http
