// Worker threads owned by the backend object that starts them: none outlives its owner.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace qm::gtk {

class WorkerSet {
 public:
  WorkerSet() = default;
  WorkerSet(const WorkerSet&) = delete;
  WorkerSet& operator=(const WorkerSet&) = delete;
  ~WorkerSet() { close(); }

  // Runs work on a thread of its own; false (and nothing runs) once the set is closed.
  bool start(std::function<void()> work) {
    std::lock_guard lock(mutex);
    if (closed) return false;
    workers.remove_if([](Worker& w) { return w.finished && (w.thread.join(), true); });
    Worker& w = workers.emplace_back();
    w.thread = std::thread([&w, work = std::move(work)] {
      work();
      w.finished = true;
    });
    return true;
  }

  // Takes no more work and waits for every worker; a worker may still call start() meanwhile.
  void close() {
    std::list<Worker> running;
    {
      std::lock_guard lock(mutex);
      closed = true;
      running.swap(workers);
    }
    for (auto& w : running) w.thread.join();
  }

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> finished = false;
  };
  std::mutex mutex;
  bool closed = false;
  std::list<Worker> workers;
};

}  // namespace qm::gtk
