#include <poll.h>
#include <zamli/transport/http/client_connection.h>

namespace Zamli::Http {

ClientConnection::ClientConnection(boost::asio::io_context& io, boost::asio::ssl::context* tls)
    : strand_(boost::asio::make_strand(io)) {
  if (tls != nullptr) {
    secure_.emplace(strand_, *tls);
  } else {
    plain_.emplace(strand_);
  }
  // A read takes at most the buffer's free room (and at least 512 bytes),
  // and the body parser empties the buffer after each: without room, a large
  // answer would take hundreds of reads.
  buffer_.reserve(64 * 1024);
}

bool ClientConnection::LooksReusable() {
  if (buffer_.size() > 0 || !Tcp().socket().is_open()) return false;
  // The server sends nothing unasked: anything readable is its close.
  pollfd fd{Tcp().socket().native_handle(), POLLIN, 0};
  return ::poll(&fd, 1, 0) == 0;
}

}  // namespace Zamli::Http
