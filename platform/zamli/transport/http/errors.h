#pragma once
// What a call over HTTP raises when the call itself could not be carried
// (a fault the server answers is raised as its own class, as everywhere).
#include <haldun/exception.h>
#include <zamli/transport/http/export.h>

namespace Zamli::Http {

// No connection, a connection that broke, an answer that is not one.
class ZAMLI_HTTP_EXPORT TransportException : public Haldun::ThrowableImpl<TransportException, Haldun::Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

// The connect timeout or the call's deadline passed.
class ZAMLI_HTTP_EXPORT TimeoutException : public Haldun::ThrowableImpl<TimeoutException, TransportException> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

// The server's certificate is neither trusted nor the pinned one.
class ZAMLI_HTTP_EXPORT UntrustedServerException
    : public Haldun::ThrowableImpl<UntrustedServerException, TransportException> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

// The caller cancelled the call before it completed.
class ZAMLI_HTTP_EXPORT CancelledException : public Haldun::ThrowableImpl<CancelledException, TransportException> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

}  // namespace Zamli::Http
