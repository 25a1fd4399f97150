#pragma once

#include <haldun/export.h>

#include <exception>
#include <string>
#include <typeinfo>

namespace Haldun {

// Readable C++ names for messages; falls back to the raw name if the ABI
// cannot demangle it.
HALDUN_EXPORT std::string Demangle(const char* mangled);
HALDUN_EXPORT std::string Demangle(const std::type_info& type);

// Root of the runtime's errors. The raise site is captured through default
// arguments, so plain "throw X(msg)" records the caller's file and line.
class HALDUN_EXPORT Throwable : public std::exception {
 public:
  explicit Throwable(std::string message, const char* file = __builtin_FILE(), int line = __builtin_LINE());
  ~Throwable() override;

  const char* what() const noexcept override;

  // "file:line" of the raise site, or empty when unknown.
  std::string Where() const;

  // Class name, message and raise site, one per line.
  std::string Dump() const;

  // Heap copy of the most-derived class; the caller owns it. Lets an error
  // be stored and rethrown elsewhere without knowing its class.
  virtual Throwable* Clone() const;

  // Throws a copy of the most-derived class, even through a base reference.
  [[noreturn]] virtual void Throw() const;

 private:
  std::string message_;
  const char* file_;
  int line_;
};

// Gives a subclass Clone() and Throw() for its own type:
//   class MyError : public ThrowableImpl<MyError, Exception> { using ThrowableImpl::ThrowableImpl; };
template <class Derived, class Base>
class HALDUN_EXPORT ThrowableImpl : public Base {
 public:
  using Base::Base;

  Throwable* Clone() const override { return new Derived(static_cast<const Derived&>(*this)); }
  [[noreturn]] void Throw() const override { throw static_cast<const Derived&>(*this); }
};

// Errors a caller is expected to handle, as opposed to other Throwables.
class HALDUN_EXPORT Exception : public ThrowableImpl<Exception, Throwable> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

class HALDUN_EXPORT TypeMismatchException : public ThrowableImpl<TypeMismatchException, Exception> {
 public:
  // Takes readable class names and builds the message from them.
  TypeMismatchException(std::string expected, std::string actual, const char* file = __builtin_FILE(),
                        int line = __builtin_LINE());

  const std::string& GetExpected() const noexcept { return expected_; }
  const std::string& GetActual() const noexcept { return actual_; }

 private:
  std::string expected_;
  std::string actual_;
};

class HALDUN_EXPORT InvalidArgumentException : public ThrowableImpl<InvalidArgumentException, Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

class HALDUN_EXPORT InvalidStateException : public ThrowableImpl<InvalidStateException, Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

class HALDUN_EXPORT NotFoundException : public ThrowableImpl<NotFoundException, Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

class HALDUN_EXPORT OutOfRangeException : public ThrowableImpl<OutOfRangeException, Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
};

// Message: "type mismatch: expected <expected>, got <actual>" (demangled).
[[noreturn]] HALDUN_EXPORT void ThrowTypeMismatchException(const std::type_info& expected, const std::type_info& actual,
                                                           const char* file = __builtin_FILE(),
                                                           int line = __builtin_LINE());

}  // namespace Haldun
