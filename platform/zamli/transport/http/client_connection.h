#pragma once
// One keep-alive connection of the client, plain or TLS, on its own strand.
#include <zamli/transport/http/tls_underlay.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <optional>
#include <string>

namespace Zamli::Http {

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
