#include <openssl/err.h>
#include <sys/socket.h>
#include <zamli/transport/http/tls_stream.h>

#include <boost/asio/ssl/error.hpp>
#include <cerrno>
#include <cstring>

namespace Zamli::Http {

// The session's I/O: records it writes are appended to the gathered ones;
// records it reads come from what an asynchronous read took, else straight
// from the socket, never waiting (the stream waits, then asks again).
struct Bio {
  static TlsStream& StreamOf(BIO* bio) { return *static_cast<TlsStream*>(BIO_get_data(bio)); }

  static int Write(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    StreamOf(bio).gathered_.append(data, static_cast<size_t>(size));
    return size;
  }

  static int Read(BIO* bio, char* out, int size) {
    BIO_clear_retry_flags(bio);
    TlsStream& stream = StreamOf(bio);
    if (stream.in_.size() > 0) {
      size_t n = boost::asio::buffer_copy(boost::asio::buffer(out, static_cast<size_t>(size)), stream.in_.data());
      stream.in_.consume(n);
      return static_cast<int>(n);
    }
    if (stream.inputEnded_) return 0;
    for (;;) {
      ssize_t n = ::recv(stream.Fd(), out, static_cast<size_t>(size), MSG_DONTWAIT);
      if (n >= 0) return static_cast<int>(n);
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        BIO_set_retry_read(bio);
      } else {
        stream.ioError_ = errno;
      }
      return -1;
    }
  }

  static long Control(BIO*, int command, long, void*) {
    // The session flushes after each flight of its handshake; the gathered
    // records leave when the stream sends them.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
  }

  static int Create(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
  }

  static const BIO_METHOD* Method() {
    static BIO_METHOD* const method = [] {
      BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zamli-tls-stream");
      BIO_meth_set_write(m, &Bio::Write);
      BIO_meth_set_read(m, &Bio::Read);
      BIO_meth_set_ctrl(m, &Bio::Control);
      BIO_meth_set_create(m, &Bio::Create);
      return m;
    }();
    return method;
  }
};

namespace {

int VerifyCertificate(int preverified, X509_STORE_CTX* store) {
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* verifier = ssl ? static_cast<TlsStream::Verifier*>(SSL_get_app_data(ssl)) : nullptr;
  if (verifier == nullptr || !*verifier) return preverified;
  return (*verifier)(preverified != 0, store) ? 1 : 0;
}

}  // namespace

void TlsStream::Open(boost::asio::ssl::context& context) {
  ssl_ = SSL_new(context.native_handle());
  BIO* bio = ssl_ ? BIO_new(Bio::Method()) : nullptr;
  if (bio == nullptr) {
    SSL_free(ssl_);
    throw Haldun::InvalidStateException("cannot start a TLS session");
  }
  BIO_set_data(bio, this);
  SSL_set_bio(ssl_, bio, bio);
  // Renegotiation is refused; input is read ahead, a record's worth per
  // read (its buffer stays at one record: the session moves what is left of
  // it to the front at each record); the session keeps its buffers between
  // records.
  SSL_set_options(ssl_, SSL_OP_NO_RENEGOTIATION);
  SSL_set_read_ahead(ssl_, 1);
  SSL_clear_mode(ssl_, SSL_MODE_RELEASE_BUFFERS);
}

TlsStream::~TlsStream() { SSL_free(ssl_); }

void TlsStream::Verify(Verifier verifier) {
  verifier_ = std::move(verifier);
  SSL_set_app_data(ssl_, &verifier_);
  SSL_set_verify(ssl_, SSL_VERIFY_PEER, &VerifyCertificate);
}

void TlsStream::ErrorOf(int result, boost::beast::error_code& ec, bool& wantRead) {
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      wantRead = true;
      return;
    case SSL_ERROR_ZERO_RETURN:  // the peer closed the session
      ec = boost::asio::error::eof;
      return;
    case SSL_ERROR_SYSCALL:
      if (ioError_ != 0) {
        ec.assign(ioError_, boost::beast::system_category());
      } else {
        ec = boost::asio::ssl::error::stream_truncated;
      }
      return;
    default: {
      unsigned long error = ERR_get_error();
      if (ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        ec = boost::asio::ssl::error::stream_truncated;
      } else {
        ec.assign(static_cast<int>(error), boost::asio::error::get_ssl_category());
      }
      if (!ec) ec = boost::asio::ssl::error::unspecified_system_error;
      return;
    }
  }
}

bool TlsStream::EncryptPiece(const char* data, size_t size, boost::beast::error_code& ec) {
  while (size > 0) {
    int part = static_cast<int>(std::min<size_t>(size, 1 << 30));
    bool wantRead = false;
    int n = Run([&] { return SSL_write(ssl_, data, part); }, ec, wantRead);
    // Records always fit the gathered buffer, and a session without
    // renegotiation never reads to write.
    if (n <= 0 && !ec) ec = boost::asio::error::operation_not_supported;
    if (ec) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void TlsStream::SendGathered(boost::beast::error_code& ec) {
  ec = {};
  PolledSocket socket = Polled();
  while (!ec && HasGathered()) sent_ += socket.write_some(Unsent(), ec);
  if (!HasGathered()) Clear();
}

void TlsStream::Clear() {
  // An idle connection keeps no large answer's room.
  if (gathered_.capacity() > kKeptRoom) {
    std::string().swap(gathered_);
  } else {
    gathered_.clear();
  }
  sent_ = 0;
}

}  // namespace Zamli::Http
