#include <cxxabi.h>
#include <haldun/exception.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace Haldun {

std::string Demangle(const char* mangled) {
  if (mangled == nullptr) return {};
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}

std::string Demangle(const std::type_info& type) { return Demangle(type.name()); }

Throwable::Throwable(std::string message, const char* file, int line)
    : message_(std::move(message)), file_(file), line_(line) {}

// Out of line so the vtable and type_info live once in the runtime library.
Throwable::~Throwable() = default;

const char* Throwable::what() const noexcept { return message_.c_str(); }

std::string Throwable::Where() const {
  if (file_ == nullptr || *file_ == '\0') return {};
  return std::string(file_) + ":" + std::to_string(line_);
}

std::string Throwable::Dump() const {
  std::string out = Demangle(typeid(*this)) + ": " + message_ + "\n";
  if (std::string where = Where(); !where.empty()) out += "  at " + where + "\n";
  return out;
}

Throwable* Throwable::Clone() const { return new Throwable(*this); }

void Throwable::Throw() const { throw *this; }

TypeMismatchException::TypeMismatchException(std::string expected, std::string actual, const char* file, int line)
    : ThrowableImpl("type mismatch: expected " + expected + ", got " + actual, file, line),
      expected_(std::move(expected)),
      actual_(std::move(actual)) {}

void ThrowTypeMismatchException(const std::type_info& expected, const std::type_info& actual, const char* file,
                                int line) {
  throw TypeMismatchException(Demangle(expected), Demangle(actual), file, line);
}

}  // namespace Haldun
