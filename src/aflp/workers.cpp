#include "aflp/workers.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace lorvane {
namespace {

class Pool {
 public:
  ~Pool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  void run(int count, int threads, const std::function<void(int)>& body) {
    std::lock_guard<std::mutex> one(running_);  // one loop at a time
    const int helpers = threads - 1;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (static_cast<int>(threads_.size()) < helpers) {
        const int id = static_cast<int>(threads_.size());
        threads_.emplace_back([this, id] { work(id); });
      }
      body_ = &body;
      count_ = count;
      next_.store(0);
      helpers_ = helpers;
      active_ = helpers;
      error_ = nullptr;
      ++generation_;
    }
    wake_.notify_all();
    share();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return active_ == 0; });
    body_ = nullptr;
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void share() {
    for (int i = next_.fetch_add(1); i < count_; i = next_.fetch_add(1)) {
      try {
        (*body_)(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!error_) error_ = std::current_exception();
      }
    }
  }

  void work(int id) {
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || (generation_ != seen && id < helpers_); });
      if (stop_) return;
      seen = generation_;
      lock.unlock();
      share();
      lock.lock();
      if (--active_ == 0) done_.notify_one();
    }
  }

  std::mutex running_, mutex_;
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  const std::function<void(int)>* body_ = nullptr;
  int count_ = 0, helpers_ = 0, active_ = 0;
  std::atomic<int> next_{0};
  unsigned generation_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
};

}  // namespace

void parallelfor(int count, int threads, const std::function<void(int)>& body) {
  if (threads <= 1 || count <= 1) {
    for (int i = 0; i < count; ++i) body(i);
    return;
  }
  static Pool pool;
  pool.run(count, threads > count ? count : threads, body);
}

}  // namespace lorvane
