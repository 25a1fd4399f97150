#include <zamli/transport/http/blocking_exchange.h>
#include <zamli/transport/http/polled_socket.h>

namespace Zamli::Http {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using Clock = std::chrono::steady_clock;

namespace {

template <class Stream>
BlockingEnd Exchange(Stream& stream, beast::flat_buffer& buffer, http::request<http::string_body>& request,
                     http::response_parser<http::string_body>& parser, beast::error_code& error) {
  http::write(stream, request, error);
  if (error == beast::error::timeout) return BlockingEnd::kTimedOut;
  if (error) return BlockingEnd::kNotWritten;
  http::read(stream, buffer, parser, error);
  if (error == beast::error::timeout) return BlockingEnd::kTimedOut;
  if (error) return BlockingEnd::kBroken;
  return BlockingEnd::kAnswered;
}

}  // namespace

BlockingEnd ExchangeOnCallingThread(ClientConnection& connection, http::request<http::string_body>& request,
                                    http::response_parser<http::string_body>& parser,
                                    std::optional<Clock::time_point> deadline, beast::error_code& error) {
  if (ClientConnection::SecureStream* secure = connection.Secure()) {
    // The TLS session's records go through the same polled socket.
    secure->next_layer().SetDeadline(deadline);
    return Exchange(*secure, connection.Buffer(), request, parser, error);
  }
  PolledSocket socket(connection.Tcp().socket().native_handle(), deadline);
  return Exchange(socket, connection.Buffer(), request, parser, error);
}

}  // namespace Zamli::Http
