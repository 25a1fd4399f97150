#include <poll.h>
#include <unistd.h>
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
  if (buffer_.size() > 0 || NativeHandle() < 0 || (secure_ && secure_->HasUnread())) return false;
  // The server sends nothing unasked: anything readable is its close.
  pollfd fd{NativeHandle(), POLLIN, 0};
  return ::poll(&fd, 1, 0) == 0;
}

void ClientConnection::LeaveReactor() {
  if (detached_ >= 0) return;
  boost::system::error_code ec;
  protocol_ = Tcp().socket().local_endpoint(ec).protocol();
  if (!ec) detached_ = Tcp().socket().release(ec);
  if (ec) detached_ = -1;  // it stays in the reactor: only slower
}

bool ClientConnection::JoinReactor() {
  if (secure_) secure_->SetCallingThread(-1, std::nullopt);
  if (detached_ < 0) return true;
  boost::system::error_code ec;
  Tcp().socket().assign(protocol_, detached_, ec);
  if (ec) {
    ::close(detached_);
    detached_ = -1;
    return false;
  }
  detached_ = -1;
  return true;
}

void ClientConnection::Close() {
  if (detached_ >= 0) {
    ::close(detached_);
    detached_ = -1;
    // Its number may soon be another socket's.
    if (secure_) secure_->SetCallingThread(-1, std::nullopt);
  }
  Tcp().close();
}

}  // namespace Zamli::Http
