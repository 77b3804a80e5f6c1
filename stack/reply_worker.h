// A thread of its own with a queue of tasks, as a lower layer uses to answer frames later and
// elsewhere than on the sender's thread. The thread is initialised for COM's multithreaded
// apartment, because what it calls creates objects with CoCreateInstance.
//
// Every task belongs to an owner token; DropOwner() discards an owner's queued tasks and waits
// for its running one, so that nothing is delivered to an owner after it went away.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace stack {

class ReplyWorker {
public:
    ReplyWorker();
    // Discards queued tasks, lets a running one finish and joins the thread.
    ~ReplyWorker();
    ReplyWorker(const ReplyWorker&) = delete;
    ReplyWorker& operator=(const ReplyWorker&) = delete;

    void Post(unsigned long owner, std::function<void()> task);
    void DropOwner(unsigned long owner);
    // True once no task is queued or running; false if that did not happen within the timeout
    // (which only guards against a hang).
    bool WaitIdle(std::chrono::milliseconds timeout);
    bool OnWorkerThread() const noexcept;
    // Tasks waiting, not counting the one running.
    std::size_t Queued() const;

private:
    struct Task {
        unsigned long owner;
        std::function<void()> run;
    };

    void Run();

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Task> queue_;                     // guarded by lock_
    std::optional<unsigned long> runningOwner_;  // guarded by lock_
    bool stopping_ = false;                      // guarded by lock_
    std::thread thread_;
};

}  // namespace stack
