#include <zamli/transport/http/blocking_exchange.h>
#include <zamli/transport/http/polled_socket.h>

namespace Zamli::Http {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using Clock = std::chrono::steady_clock;

namespace {

// Sends what the writes gathered, when the stream gathers them.
template <class Stream>
void SendGathered(Stream&, beast::error_code&) {}
void SendGathered(ClientConnection::SecureStream& stream, beast::error_code& error) {
  stream.SendGathered(error);
}
template <class Stream>
void ReserveFor(Stream&, size_t) {}
void ReserveFor(ClientConnection::SecureStream& stream, size_t bytes) { stream.ReserveFor(bytes); }

// Reads the answer; a body of known length goes straight into its string,
// made from `room` (an earlier answer's string, whose pages are mapped and
// whose length needs no filling), rather than through the connection's
// buffer: one copy fewer, and under TLS each record is decrypted in place.
// The parser refuses a length over its limit with the header.
template <class Stream>
void ReadAnswer(Stream& stream, beast::flat_buffer& buffer, http::response_parser<http::string_body>& parser,
                std::string& room, beast::error_code& error) {
  http::read_header(stream, buffer, parser, error);
  if (error || parser.is_done()) return;
  std::string& body = parser.get().body();
  if (parser.chunked() || !parser.content_length() || !body.empty()) {
    return static_cast<void>(http::read(stream, buffer, parser, error));
  }
  const size_t length = static_cast<size_t>(*parser.content_length());
  body.swap(room);
  body.resize(length);
  size_t have = asio::buffer_copy(asio::buffer(body), buffer.data());
  buffer.consume(have);
  while (have < length) {
    have += stream.read_some(asio::buffer(body.data() + have, length - have), error);
    if (error == asio::error::eof) error = http::error::partial_message;
    if (error) return;
  }
}

template <class Stream>
BlockingEnd Exchange(Stream& stream, ClientConnection& connection, http::request<http::string_body>& request,
                     http::response_parser<http::string_body>& parser, std::string& room, beast::error_code& error) {
  ReserveFor(stream, request.body().size());
  http::write(stream, request, error);
  if (!error) SendGathered(stream, error);
  if (error == beast::error::timeout) return BlockingEnd::kTimedOut;
  if (error) return BlockingEnd::kNotWritten;
  ReadAnswer(stream, connection.Buffer(), parser, room, error);
  if (error == beast::error::timeout) return BlockingEnd::kTimedOut;
  if (error) return BlockingEnd::kBroken;
  // What reading had TLS answer (rare: a key update) goes too; if it cannot,
  // the connection carries no more calls.
  beast::error_code unsent;
  SendGathered(stream, unsent);
  if (unsent) connection.Close();
  return BlockingEnd::kAnswered;
}

}  // namespace

BlockingEnd ExchangeOnCallingThread(ClientConnection& connection, http::request<http::string_body>& request,
                                    http::response_parser<http::string_body>& parser,
                                    std::optional<Clock::time_point> deadline, std::string& room,
                                    beast::error_code& error) {
  if (ClientConnection::SecureStream* secure = connection.Secure()) {
    // The TLS session's records go out gathered, through the same polled socket.
    secure->SetCallingThread(connection.NativeHandle(), deadline);
    return Exchange(*secure, connection, request, parser, room, error);
  }
  PolledSocket socket(connection.NativeHandle(), deadline);
  return Exchange(socket, connection, request, parser, room, error);
}

}  // namespace Zamli::Http
