#pragma once

#include <atomic>
#include <concepts>
#include <cstddef>
#include <utility>

namespace Haldun {

// Intrusive smart pointer over ObjectImpl-derived T. Holds one count on the
// object while non-null.
template <class T>
class Ref {
 public:
  using element_type = T;

  constexpr Ref() noexcept = default;
  constexpr Ref(std::nullptr_t) noexcept {}

  // Explicit: an implicit conversion would let a temporary Ref take and
  // drop the only count of a fresh object, deleting it behind the caller.
  explicit Ref(T* ptr) noexcept : ptr_(ptr) { Acquire(); }

  Ref(const Ref& other) noexcept : ptr_(other.ptr_) { Acquire(); }
  Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}

  template <class U>
  requires std::convertible_to<U*, T*> Ref(const Ref<U>& other)
  noexcept : ptr_(other.Get()) { Acquire(); }

  template <class U>
  requires std::convertible_to<U*, T*> Ref(Ref<U>&& other)
  noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}

  ~Ref() { Drop(); }

  // Copy-and-swap takes the new count before dropping the old one, so
  // self-assignment and "r = r->child" are both safe.
  Ref& operator=(const Ref& other) noexcept {
    Ref(other).Swap(*this);
    return *this;
  }

  Ref& operator=(Ref&& other) noexcept {
    Ref(std::move(other)).Swap(*this);
    return *this;
  }

  void Reset(T* ptr = nullptr) noexcept { Ref(ptr).Swap(*this); }

  // Takes over a count the caller already holds on `ptr` (such as the first
  // count of a new object, ObjectImpl::IncRefNew) instead of taking one.
  static Ref Adopt(T* ptr) noexcept {
    Ref adopted;
    adopted.ptr_ = ptr;
    return adopted;
  }
  void Swap(Ref& other) noexcept { std::swap(ptr_, other.ptr_); }

  // Gives up this reference without destroying the object, even when it
  // was the last: a factory returns what it built under a Ref at count 0.
  T* Detach() noexcept {
    T* p = std::exchange(ptr_, nullptr);
    if (p) p->DecRefNoDelete();
    return p;
  }

  // Lock-free lazy initialisation: installs `value` (taking one count on
  // it) if this is still null, and returns whatever is installed after the
  // call. A loser's value is released, destroying it if nobody else holds it.
  T* InstallIfNull(T* value) noexcept {
    value->IncRef();
    T* expected = nullptr;
    if (std::atomic_ref<T*>(ptr_).compare_exchange_strong(expected, value, std::memory_order_acq_rel)) return value;
    value->DecRef();
    return expected;
  }

  // Reads the pointer with acquire order, pairing with InstallIfNull.
  T* LoadAcquire() const noexcept { return std::atomic_ref<T*>(const_cast<T*&>(ptr_)).load(std::memory_order_acquire); }

  T* Get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  T& operator*() const noexcept { return *ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

  template <class U>
  bool operator==(const Ref<U>& other) const noexcept {
    return ptr_ == other.Get();
  }

  template <class U>
  bool operator==(const U* other) const noexcept {
    return ptr_ == other;
  }

  bool operator==(std::nullptr_t) const noexcept { return ptr_ == nullptr; }

 private:
  template <class U>
  friend class Ref;

  void Acquire() const noexcept {
    if (ptr_) ptr_->IncRef();
  }

  void Drop() const noexcept {
    if (ptr_) ptr_->DecRef();
  }

  T* ptr_ = nullptr;
};

template <class T, class... A>
Ref<T> MakeRef(A&&... args) {
  return Ref<T>(new T(std::forward<A>(args)...));
}

}  // namespace Haldun
