#include <haldun/exception.h>
#include <zamli/transport/http/io_threads.h>

namespace Zamli::Http {

IoThreads::IoThreads(int threads, Contexts contexts) {
  if (threads < 1) throw Haldun::InvalidArgumentException("at least one I/O thread is needed");
  // A context run by one thread is told so: it then wakes no other thread
  // for work, and keeps what its own handlers post to itself.
  if (contexts == Contexts::kShared) {
    contexts_.push_back(std::make_unique<boost::asio::io_context>(threads));
  } else {
    for (int i = 0; i < threads; ++i) contexts_.push_back(std::make_unique<boost::asio::io_context>(1));
  }
  for (auto& context : contexts_) work_.emplace_back(context->get_executor());
  for (int i = 0; i < threads; ++i) {
    boost::asio::io_context& context = *contexts_[static_cast<size_t>(i) % contexts_.size()];
    threads_.emplace_back([&context] {
      // A handler that raises must not end the thread: the others' calls go on.
      for (;;) {
        try {
          context.run();
          return;
        } catch (...) {
        }
      }
    });
  }
}

IoThreads::~IoThreads() { Shutdown(); }

void IoThreads::StopThreads() {
  work_.clear();
  for (auto& context : contexts_) context->stop();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

void IoThreads::Shutdown() {
  StopThreads();
  contexts_.clear();
}

}  // namespace Zamli::Http
