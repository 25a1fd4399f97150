#pragma once
// One keep-alive connection of the client, plain or TLS, on its own strand.
#include <zamli/transport/http/tls_stream.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <optional>
#include <string>

namespace Zamli::Http {

class ClientConnection {
 public:
  using Strand = boost::asio::strand<boost::asio::io_context::executor_type>;

  ClientConnection(boost::asio::io_context& io, boost::asio::ssl::context* tls);
  ~ClientConnection() { Close(); }

  const Strand& GetStrand() const { return strand_; }
  using SecureStream = TlsStream;

  boost::beast::tcp_stream& Tcp() { return secure_ ? secure_->Tcp() : *plain_; }
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

  // A connection the calling thread uses leaves the I/O threads' reactor,
  // which would otherwise wake on every packet of its exchanges; it joins
  // again before the I/O threads use it (false: it could not, and is closed).
  void LeaveReactor();
  bool JoinReactor();
  int NativeHandle() { return detached_ >= 0 ? detached_ : Tcp().socket().native_handle(); }
  void Close();

  std::string refusal;  // why the server's certificate was refused, when it was

 private:
  Strand strand_;
  std::optional<boost::beast::tcp_stream> plain_;
  std::optional<SecureStream> secure_;
  boost::beast::flat_buffer buffer_;
  int detached_ = -1;  // the socket, while out of the reactor
  boost::asio::ip::tcp protocol_ = boost::asio::ip::tcp::v4();
};

}  // namespace Zamli::Http
