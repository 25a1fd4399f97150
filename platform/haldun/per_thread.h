#pragma once
// One object of T per thread, made when the thread first needs it and
// destroyed when the thread ends: what a thread keeps of the memory it
// releases, for the allocations it makes next. Internal to the runtime.

#include <new>
#include <utility>

namespace Haldun {

template <class T>
class PerThread {
 public:
  // The thread's object if it has been made and the thread has not ended.
  static T* Find() noexcept {
    T* object = current_;
    return object == Ended() ? nullptr : object;
  }

  // The thread's object, made now if need be; null once the thread has
  // ended, so that memory released then, by destructors that run later,
  // goes straight back to the allocator.
  static T* Get() noexcept {
    T* object = current_;
    if (object == nullptr) {
      object = new (std::nothrow) T;
      if (object == nullptr) return nullptr;
      releaser_.armed = true;  // constructs it, so that its destructor runs
      current_ = object;
    }
    return object == Ended() ? nullptr : object;
  }

 private:
  // Where the pointer stands once the thread has ended; never read through.
  static T* Ended() noexcept { return reinterpret_cast<T*>(&endedTag_); }

  struct Releaser {
    bool armed = false;
    ~Releaser() {
      T* object = std::exchange(current_, Ended());
      if (object != nullptr && object != Ended()) delete object;
    }
  };

  static inline char endedTag_;
  // Initial-exec: read at a fixed offset from the thread pointer rather than
  // through a call. Only the pointer is thread-local, so the library takes
  // eight bytes of the static space a program keeps for libraries it opens
  // later, and may be opened late itself.
  [[gnu::tls_model("initial-exec")]] static inline thread_local T* current_ = nullptr;
  static inline thread_local Releaser releaser_;
};

}  // namespace Haldun
