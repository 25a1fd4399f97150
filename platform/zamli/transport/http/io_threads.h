#pragma once
// A fixed number of threads running the I/O of an adapter or a server,
// whatever the number of connections and calls: all of them on one
// io_context, or each on its own (no thread then wakes another for work,
// nor interrupts another's wait for events).
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <memory>
#include <thread>
#include <vector>

namespace Zamli::Http {

class IoThreads {
 public:
  enum class Contexts { kShared, kOnePerThread };

  explicit IoThreads(int threads, Contexts contexts = Contexts::kShared);
  ~IoThreads();
  IoThreads(const IoThreads&) = delete;
  IoThreads& operator=(const IoThreads&) = delete;

  // The i-th context: one in all when they are shared.
  boost::asio::io_context& Context(size_t i = 0) { return *contexts_[i]; }
  size_t ContextCount() const { return contexts_.size(); }
  // Stops and joins the threads; the contexts and what is pending stay, so
  // that objects holding their executors can be destroyed first. Idempotent.
  void StopThreads();
  // Stops the threads and destroys what was still pending (its handlers'
  // destructors run here, on the calling thread). Idempotent.
  void Shutdown();

 private:
  using WorkGuard = boost::asio::executor_work_guard<boost::asio::io_context::executor_type>;

  std::vector<std::unique_ptr<boost::asio::io_context>> contexts_;
  std::vector<WorkGuard> work_;
  std::vector<std::thread> threads_;
};

}  // namespace Zamli::Http
