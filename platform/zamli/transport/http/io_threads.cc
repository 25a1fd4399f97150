#include <haldun/exception.h>
#include <zamli/transport/http/io_threads.h>

namespace Zamli::Http {

IoThreads::IoThreads(int threads) {
  if (threads < 1) throw Haldun::InvalidArgumentException("at least one I/O thread is needed");
  context_.emplace(threads);
  work_.emplace(context_->get_executor());
  for (int i = 0; i < threads; ++i) {
    threads_.emplace_back([this] {
      // A handler that raises must not end the thread: the others' calls go on.
      for (;;) {
        try {
          context_->run();
          return;
        } catch (...) {
        }
      }
    });
  }
}

IoThreads::~IoThreads() { Shutdown(); }

void IoThreads::StopThreads() {
  if (!context_) return;
  work_.reset();
  context_->stop();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

void IoThreads::Shutdown() {
  StopThreads();
  context_.reset();
}

}  // namespace Zamli::Http
