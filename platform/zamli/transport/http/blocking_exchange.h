#pragma once
// A synchronous call's exchange on the calling thread, over an idle
// connection, plain or TLS: write the request, read the answer, with no hop to the I/O
// threads and back. The deadline bounds every wait on the socket.
#include <zamli/transport/http/client_connection.h>

#include <boost/beast/http.hpp>
#include <chrono>
#include <optional>
#include <string>

namespace Zamli::Http {

enum class BlockingEnd {
  kAnswered,    // the parser holds the whole answer
  kNotWritten,  // the request did not get out whole: the server cannot have run it
  kTimedOut,    // the deadline passed
  kBroken,      // the connection broke after the request was written
};

// The connection is the caller's alone and has no operation pending.
// `room`: a string the answer's body may take the place of (its contents are
// overwritten).
BlockingEnd ExchangeOnCallingThread(ClientConnection& connection,
                                    boost::beast::http::request<boost::beast::http::string_body>& request,
                                    boost::beast::http::response_parser<boost::beast::http::string_body>& parser,
                                    std::optional<std::chrono::steady_clock::time_point> deadline, std::string& room,
                                    boost::beast::error_code& error);

}  // namespace Zamli::Http
