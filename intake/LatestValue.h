#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

#include "core/RunThread.h"

// Carries the newest of a fast stream of values from a run (byte counts, reader counts,
// message lines) to the user-interface thread: at most one post is queued at a time,
// and it shows the value current when it runs, so a quick run never floods the queue.
// Posts keep their order with the run's other posts.
template <typename T>
class LatestValue {
 public:
  LatestValue(RunThread& thread, std::function<void(const T&)> show)
      : m_thread(thread), m_show(std::move(show)) {}

  // From the run's thread.
  void set(T value) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_value = std::move(value);
    }
    if (m_queued.exchange(true)) return;
    m_thread.post([this] {
      m_queued.store(false);
      T current;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        current = m_value;
      }
      m_show(current);
    });
  }

 private:
  RunThread& m_thread;
  std::function<void(const T&)> m_show;
  std::mutex m_mutex;
  T m_value{};
  std::atomic<bool> m_queued{false};
};
