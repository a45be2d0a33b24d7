#include "core/threadpool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace lorvane {
namespace {

// True on a thread while it runs a call of the pool's current loop.
thread_local bool inloop = false;

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

  // task(0) here, task(1) .. task(team - 1) on the helpers.
  void run(int team, const std::function<void(int)>& task) {
    std::lock_guard<std::mutex> one(running_);  // one loop at a time
    const int helpers = team - 1;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (static_cast<int>(threads_.size()) < helpers) {
        const int id = static_cast<int>(threads_.size());
        threads_.emplace_back([this, id] { work(id); });
      }
      task_ = &task;
      helpers_ = helpers;
      active_ = helpers;
      error_ = nullptr;
      ++generation_;
    }
    wake_.notify_all();
    call(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return active_ == 0; });
    task_ = nullptr;
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void call(int t) {
    inloop = true;
    try {
      (*task_)(t);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
    }
    inloop = false;
  }

  void work(int id) {
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || (generation_ != seen && id < helpers_); });
      if (stop_) return;
      seen = generation_;
      lock.unlock();
      call(id + 1);
      lock.lock();
      if (--active_ == 0) done_.notify_one();
    }
  }

  std::mutex running_, mutex_;
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  const std::function<void(int)>* task_ = nullptr;
  int helpers_ = 0, active_ = 0;
  unsigned generation_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
};

Pool& pool() {
  static Pool shared;
  return shared;
}

}  // namespace

void parallelfor(int count, int threads, const std::function<void(int)>& body) {
  if (threads > count) threads = count;
  if (threads <= 1 || inloop) {
    for (int i = 0; i < count; ++i) body(i);
    return;
  }
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  pool().run(threads, [&](int) {
    for (int i = next.fetch_add(1); i < count && !failed.load(std::memory_order_relaxed); i = next.fetch_add(1)) {
      try {
        body(i);
      } catch (...) {
        failed = true;
        throw;
      }
    }
  });
}

void eachthread(int threads, const std::function<void(int)>& body) {
  if (threads <= 1 || inloop) {
    for (int t = 0; t < std::max(threads, 1); ++t) body(t);
    return;
  }
  pool().run(threads, body);
}

}  // namespace lorvane
