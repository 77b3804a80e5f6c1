#include "stack/reply_worker.h"

#include <utility>

#include "stack/com_initialisation.h"

namespace stack {

ReplyWorker::ReplyWorker() : thread_([this] { Run(); }) {}

ReplyWorker::~ReplyWorker() {
    std::deque<Task> discarded;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        discarded.swap(queue_);
    }
    changed_.notify_all();
    if (OnWorkerThread()) {
        thread_.detach();  // the last reference went away inside a task: let the thread end
    } else {
        thread_.join();
    }
}

void ReplyWorker::Post(unsigned long owner, std::function<void()> task) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back({owner, std::move(task)});
    }
    changed_.notify_all();
}

void ReplyWorker::DropOwner(unsigned long owner) {
    std::deque<Task> discarded;
    std::unique_lock<std::mutex> lock(lock_);
    for (auto it = queue_.begin(); it != queue_.end();) {
        if (it->owner == owner) {
            discarded.push_back(std::move(*it));
            it = queue_.erase(it);
        } else {
            ++it;
        }
    }
    if (!OnWorkerThread()) {
        changed_.wait(lock, [&] { return runningOwner_ != owner; });
    }
    lock.unlock();
    changed_.notify_all();  // the queue may have become empty
}

bool ReplyWorker::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, timeout,
                             [&] { return queue_.empty() && !runningOwner_.has_value(); });
}

std::size_t ReplyWorker::Queued() const {
    std::lock_guard<std::mutex> guard(lock_);
    return queue_.size();
}

bool ReplyWorker::OnWorkerThread() const noexcept {
    return std::this_thread::get_id() == thread_.get_id();
}

void ReplyWorker::Run() {
    const ComInitialisation com(COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        Task task = std::move(queue_.front());
        queue_.pop_front();
        runningOwner_ = task.owner;
        lock.unlock();
        try {
            task.run();
        } catch (...) {
            // A failing reply must not take the lower layer's thread down with it.
        }
        task.run = nullptr;  // what the task holds is released before it counts as done
        lock.lock();
        runningOwner_.reset();
        changed_.notify_all();
    }
}

}  // namespace stack
