#pragma once

#include <haldun/exception.h>

#include <concepts>
#include <type_traits>
#include <utility>

namespace Haldun {

// A value plus an is-set flag. Unlike std::optional the value is always
// constructed, which keeps the layout plain and Unset() trivial.
template <class T>
class Optional {
 public:
  Optional() = default;
  Optional(const T& value) : value_(value), isSet_(true) {}
  Optional(T&& value) : value_(std::move(value)), isSet_(true) {}

  Optional& operator=(const T& value) {
    value_ = value;
    isSet_ = true;
    return *this;
  }

  Optional& operator=(T&& value) {
    value_ = std::move(value);
    isSet_ = true;
    return *this;
  }

  bool IsSet() const noexcept { return isSet_; }

  const T& GetValue() const {
    if (!isSet_) throw InvalidStateException("Optional value is not set");
    return value_;
  }

  T& GetValue() {
    if (!isSet_) throw InvalidStateException("Optional value is not set");
    return value_;
  }

  // Leaves the old value in place; it is unreachable until set again.
  void Unset() noexcept { isSet_ = false; }

  // The stored value whether set or not, for code that moves whole fields
  // (reflective access, serialization) rather than reading values.
  const T& StoredValue() const noexcept { return value_; }
  T& StoredValue() noexcept { return value_; }

  void Swap(Optional& other) noexcept(std::is_nothrow_swappable_v<T>) {
    using std::swap;
    swap(value_, other.value_);
    swap(isSet_, other.isSet_);
  }

  T ValueOr(const T& fallback) const { return isSet_ ? value_ : fallback; }

  // Stale values of unset optionals never take part.
  friend bool operator==(const Optional& a, const Optional& b) {
    if (a.isSet_ != b.isSet_) return false;
    return !a.isSet_ || a.value_ == b.value_;
  }

 private:
  T value_{};
  bool isSet_ = false;
};

// One signed byte so that arrays and records of optional flags stay compact:
// -1 unset, 0 false, 1 true.
template <>
class Optional<bool> {
 public:
  Optional() = default;

  // Only a real bool: pointers and integers would otherwise convert silently.
  template <std::same_as<bool> B>
  Optional(B value) noexcept : state_(value ? 1 : 0) {}

  template <std::same_as<bool> B>
  Optional& operator=(B value) noexcept {
    state_ = value ? 1 : 0;
    return *this;
  }

  bool IsSet() const noexcept { return state_ >= 0; }

  // By value: there is no bool object in storage to refer to.
  bool GetValue() const {
    if (state_ < 0) throw InvalidStateException("Optional value is not set");
    return state_ == 1;
  }

  void Unset() noexcept { state_ = -1; }

  // The stored byte: -1 unset, 0 false, 1 true.
  const signed char& StoredByte() const noexcept { return state_; }
  signed char& StoredByte() noexcept { return state_; }

  void Swap(Optional& other) noexcept { std::swap(state_, other.state_); }

  bool ValueOr(bool fallback) const noexcept { return state_ < 0 ? fallback : state_ == 1; }

  friend bool operator==(const Optional& a, const Optional& b) noexcept { return a.state_ == b.state_; }

 private:
  signed char state_ = -1;
};

static_assert(sizeof(Optional<bool>) == 1);

}  // namespace Haldun
