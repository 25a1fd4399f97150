#pragma once
// One keep-alive connection of the client, plain or TLS, on its own strand.
#include <zamli/transport/http/polled_socket.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <optional>
#include <string>

namespace Zamli::Http {

// The TCP stream under a client's TLS. Its asynchronous operations are the
// tcp_stream's, for the I/O threads; its synchronous ones poll within a
// deadline, so that the calling thread can drive the same TLS session.
class TlsUnderlay {
 public:
  using executor_type = boost::beast::tcp_stream::executor_type;
  using lowest_layer_type = boost::beast::tcp_stream::socket_type;

  template <class Executor>
  explicit TlsUnderlay(Executor&& executor) : tcp_(std::forward<Executor>(executor)) {}

  boost::beast::tcp_stream& Tcp() { return tcp_; }
  executor_type get_executor() { return tcp_.get_executor(); }
  lowest_layer_type& lowest_layer() { return tcp_.socket(); }
  // Bounds the synchronous operations' waits from now on.
  void SetDeadline(std::optional<PolledSocket::Clock::time_point> deadline) { deadline_ = deadline; }

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
    return Polled().write_some(buffers, ec...);
  }

 private:
  PolledSocket Polled() { return PolledSocket(tcp_.socket().native_handle(), deadline_); }

  boost::beast::tcp_stream tcp_;
  std::optional<PolledSocket::Clock::time_point> deadline_;
};

class ClientConnection {
 public:
  using Strand = boost::asio::strand<boost::asio::io_context::executor_type>;

  ClientConnection(boost::asio::io_context& io, boost::asio::ssl::context* tls);

  const Strand& GetStrand() const { return strand_; }
  using SecureStream = boost::beast::ssl_stream<TlsUnderlay>;

  boost::beast::tcp_stream& Tcp() { return secure_ ? secure_->next_layer().Tcp() : *plain_; }
  SecureStream* Secure() { return secure_ ? &*secure_ : nullptr; }
  boost::beast::flat_buffer& Buffer() { return buffer_; }
  // Runs `f` on the stream, whichever kind it is.
  template <class F>
  void Visit(F&& f) {
    if (secure_) {
      f(*secure_);
    } else {
      f(*plain_);
    }
  }
  // False when an idle connection has been closed by the server (or holds
  // anything unasked for): it must not carry another call.
  bool LooksReusable();

  std::string refusal;  // why the server's certificate was refused, when it was

 private:
  Strand strand_;
  std::optional<boost::beast::tcp_stream> plain_;
  std::optional<SecureStream> secure_;
  boost::beast::flat_buffer buffer_;
};

}  // namespace Zamli::Http
