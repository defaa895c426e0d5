// A worker thread with a terminated-request flag, in the shape the window's workers share.
#pragma once

#include <atomic>
#include <thread>

namespace polvane {

class Worker {
 public:
  virtual ~Worker() { Stop(); }

  void Start() {
    Stop();
    terminated_ = false;
    finished_ = false;
    thread_ = std::thread([this] {
      Execute();
      finished_ = true;
    });
  }
  // Asks the worker to end at its next check.
  void Terminate() { terminated_ = true; }
  // Waits for the worker to end.
  void WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }
  // Asks the worker to stop and waits for it.
  void Stop() {
    Terminate();
    WaitFor();
  }
  bool Running() const { return thread_.joinable() && !finished_; }
  bool Terminated() const { return terminated_.load(std::memory_order_relaxed); }
  const std::atomic<bool>& TerminatedFlag() const { return terminated_; }

 protected:
  virtual void Execute() = 0;

 private:
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{true};
};

}  // namespace polvane
