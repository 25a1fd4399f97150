#pragma once

#include <haldun/export.h>

#include <atomic>
#include <cstdint>

namespace Haldun {

// Base of every reference-counted value. The count lives in the object
// (intrusive), so a raw pointer can always be turned back into a Ref.
class HALDUN_EXPORT ObjectImpl {
 public:
  ObjectImpl() noexcept = default;

  // A copy is a new object: it must not inherit the owners of the original.
  ObjectImpl(const ObjectImpl&) noexcept {}

  // Assignment changes the value, not who holds the object.
  ObjectImpl& operator=(const ObjectImpl&) noexcept { return *this; }

  virtual ~ObjectImpl();

  // const so that Ref<const T> works; the count is not part of the value.
  void IncRef() const noexcept { refCount_.fetch_add(1, std::memory_order_relaxed); }

  // The first count of an object that no other thread can see yet (count
  // 0, just made): a plain store instead of a locked increment.
  void IncRefNew() const noexcept { refCount_.store(1, std::memory_order_relaxed); }

  void DecRef() const noexcept {
    // The last holder needs no locked decrement: nobody else can take a
    // count any more. acquire/acq_rel: the deleting thread must see every
    // write made through the other references before they were dropped.
    if (refCount_.load(std::memory_order_acquire) == 1 || refCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete this;
    }
  }

  // Drops a count without destroying at zero: how a factory that built an
  // object under a Ref hands it back new, at count 0 (see Ref::Detach).
  void DecRefNoDelete() const noexcept { refCount_.fetch_sub(1, std::memory_order_acq_rel); }

  int32_t GetRefCount() const noexcept { return refCount_.load(std::memory_order_relaxed); }

 private:
  mutable std::atomic<int32_t> refCount_{0};
};

}  // namespace Haldun
