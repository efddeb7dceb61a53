#pragma once
// One thread that works on the newest of the requests a window gives it: the sequence line's
// scanner and the picture of the frames each keep one. A newer request supersedes an older
// one: the older is never started, or is given up when its work next asks, and never answered.
// Destroying it gives up the work under way and waits for the thread.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

template <typename Request>
class NewestRequestThread {
 public:
  /// work is run on the thread for each request started, with its number and a test that says
  /// when the request has been given up (by a newer one, Cancel or destruction).
  using Work = std::function<void(unsigned long long id, Request& request,
                                  const std::function<bool()>& givenUp)>;

  explicit NewestRequestThread(Work work) : m_work(std::move(work)), m_thread([this] { Run(); }) {}
  ~NewestRequestThread() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stopping = true;
    }
    m_stop = true;
    m_wake.notify_one();
    m_thread.join();
  }
  NewestRequestThread(const NewestRequestThread&) = delete;
  NewestRequestThread& operator=(const NewestRequestThread&) = delete;

  /// Queues request in place of any not yet started, gives up the one under way, and returns
  /// the request's number.
  unsigned long long Ask(Request request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const unsigned long long id = m_latest.load() + 1;
    m_latest = id;  // the work under way sees this when it next asks
    m_pending.emplace(id, std::move(request));
    m_wake.notify_one();
    return id;
  }
  /// Gives up the request queued and the one under way; nothing is answered until the next.
  void Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_latest = m_latest.load() + 1;
    m_pending.reset();
  }
  /// Whether id is the newest request: an answer to an older one is stale.
  bool IsLatest(unsigned long long id) const { return m_latest.load() == id; }
  bool GivenUp(unsigned long long id) const { return m_stop.load() || !IsLatest(id); }

 private:
  void Run() {
    for (;;) {
      std::pair<unsigned long long, Request> next;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stopping || m_pending; });
        if (m_stopping) return;
        next = std::move(*m_pending);
        m_pending.reset();
      }
      const unsigned long long id = next.first;
      m_work(id, next.second, [this, id] { return GivenUp(id); });
    }
  }

  Work m_work;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::optional<std::pair<unsigned long long, Request>> m_pending;  // under m_mutex
  bool m_stopping = false;                                          // under m_mutex
  std::atomic<unsigned long long> m_latest{0};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;  // last: it starts once everything above is ready
};
