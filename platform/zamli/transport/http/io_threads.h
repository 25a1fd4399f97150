#pragma once
// A fixed number of threads running one io_context: all the I/O of an
// adapter or a server, whatever the number of connections and calls.
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <optional>
#include <thread>
#include <vector>

namespace Zamli::Http {

class IoThreads {
 public:
  explicit IoThreads(int threads);
  ~IoThreads();
  IoThreads(const IoThreads&) = delete;
  IoThreads& operator=(const IoThreads&) = delete;

  boost::asio::io_context& Context() { return *context_; }
  // Stops and joins the threads; the context and what is pending stay, so
  // that objects holding its executors can be destroyed first. Idempotent.
  void StopThreads();
  // Stops the threads and destroys what was still pending (its handlers'
  // destructors run here, on the calling thread). Idempotent.
  void Shutdown();

 private:
  std::optional<boost::asio::io_context> context_;
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
  std::vector<std::thread> threads_;
};

}  // namespace Zamli::Http
