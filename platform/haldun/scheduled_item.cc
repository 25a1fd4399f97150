#include <haldun/scheduled_item.h>

namespace Haldun::System {

ScheduledItem::~ScheduledItem() = default;

bool ScheduledItem::IsDone() const {
  std::lock_guard lock(mutex_);
  return isDone_;
}

void ScheduledItem::Wait() const {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return isDone_; });
}

void ScheduledItem::MarkDone() {
  {
    std::lock_guard lock(mutex_);
    isDone_ = true;
  }
  done_.notify_all();
}

}  // namespace Haldun::System
