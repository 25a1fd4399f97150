#pragma once
// A connected socket as Beast's synchronous streams, for the calling
// thread: each wait for it is a poll bounded by a deadline. Sends and
// receives never block, however the socket was left, so the wait is always
// ours.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <boost/beast/core/error.hpp>
#include <cerrno>
#include <chrono>
#include <optional>

namespace Zamli::Http {

// The throwing overloads Beast's synchronous streams must also have, over a
// stream's own that set an error code.
template <class Stream>
class ThrowingOverloads {
 public:
  template <class Buffers>
  size_t write_some(const Buffers& buffers) {
    return OrThrow([&](boost::beast::error_code& ec) { return Self().write_some(buffers, ec); });
  }
  template <class Buffers>
  size_t read_some(const Buffers& buffers) {
    return OrThrow([&](boost::beast::error_code& ec) { return Self().read_some(buffers, ec); });
  }

 private:
  Stream& Self() { return static_cast<Stream&>(*this); }
  template <class F>
  static size_t OrThrow(F&& f) {
    boost::beast::error_code ec;
    size_t n = f(ec);
    if (ec) throw boost::beast::system_error(ec);
    return n;
  }
};

class PolledSocket : public ThrowingOverloads<PolledSocket> {
 public:
  using Clock = std::chrono::steady_clock;

  PolledSocket(int fd, std::optional<Clock::time_point> deadline) : fd_(fd), deadline_(deadline) {}

  template <class Buffers>
  size_t write_some(const Buffers& buffers, boost::beast::error_code& ec) {
    return Transfer(buffers, POLLOUT, ec,
                    [](int fd, msghdr* message) { return ::sendmsg(fd, message, MSG_NOSIGNAL | MSG_DONTWAIT); });
  }
  template <class Buffers>
  size_t read_some(const Buffers& buffers, boost::beast::error_code& ec) {
    size_t n =
        Transfer(buffers, POLLIN, ec, [](int fd, msghdr* message) { return ::recvmsg(fd, message, MSG_DONTWAIT); });
    if (!ec && n == 0 && boost::asio::buffer_size(buffers) > 0) ec = boost::asio::error::eof;
    return n;
  }
  using ThrowingOverloads::read_some;
  using ThrowingOverloads::write_some;

  // Waits until the socket is ready for `event` (POLLIN, POLLOUT), within
  // the deadline; false with `ec` set when it is not.
  bool Wait(short event, boost::beast::error_code& ec) {
    for (;;) {
      int timeout = -1;
      if (deadline_) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - Clock::now());
        if (left.count() <= 0) {
          ec = boost::beast::error::timeout;
          return false;
        }
        timeout = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
      }
      pollfd fd{fd_, event, 0};
      int ready = ::poll(&fd, 1, timeout);
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) {
        ec.assign(errno, boost::beast::system_category());
        return false;
      }
    }
  }

 private:
  static constexpr size_t kMostBuffers = 16;

  template <class Buffers, class Call>
  size_t Transfer(const Buffers& buffers, short event, boost::beast::error_code& ec, Call&& call) {
    iovec pieces[kMostBuffers];
    size_t count = 0;
    for (auto it = boost::asio::buffer_sequence_begin(buffers);
         it != boost::asio::buffer_sequence_end(buffers) && count < kMostBuffers; ++it) {
      auto buffer = *it;
      if (buffer.size() == 0) continue;
      pieces[count++] = iovec{const_cast<void*>(static_cast<const void*>(buffer.data())), buffer.size()};
    }
    ec = {};
    if (count == 0) return 0;
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = count;
    for (;;) {
      ssize_t n = call(fd_, &message);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        ec.assign(errno, boost::beast::system_category());
        return 0;
      }
      if (!Wait(event, ec)) return 0;
    }
  }

  int fd_;
  std::optional<Clock::time_point> deadline_;
};

}  // namespace Zamli::Http
