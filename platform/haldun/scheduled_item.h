#pragma once
// A unit of work handed to another thread: who started it can wait for it.
#include <haldun/export.h>
#include <haldun/object_impl.h>

#include <condition_variable>
#include <mutex>

namespace Haldun::System {

class HALDUN_EXPORT ScheduledItem : public ObjectImpl {
 public:
  ~ScheduledItem() override;
  bool IsDone() const;
  // Blocks until the work has completed (its completion callback has returned).
  void Wait() const;
  void MarkDone();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable done_;
  bool isDone_ = false;
};

}  // namespace Haldun::System
