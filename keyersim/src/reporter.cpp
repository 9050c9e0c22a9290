#include "reporter.h"

#include "keyerlib/morsixdll.h"

namespace keyersim {

Reporter::~Reporter() {
    // Only reached once the thread has ended or was never started: it holds a reference.
    if (thread_.joinable()) thread_.detach();
}

void Reporter::start() {
    std::shared_ptr<Reporter> self = shared_from_this();
    thread_ = std::thread([self] { self->run(); });
}

bool Reporter::post(int kind, int value) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> g(m_);
        if (closed_) return true;
        long end = taken_ + static_cast<long>(waiting_.size());
        if (kind == CB_SPEEDPOT && potAt_ >= taken_ && potAt_ < end) {
            waiting_[static_cast<std::size_t>(potAt_ - taken_)].value = value;
            return true;
        }
        if (waiting_.size() >= kMaxWaitingReports) return false;
        if (kind == CB_SPEEDPOT) potAt_ = end;
        wasEmpty = waiting_.empty();
        waiting_.push_back(Report{kind, value});
    }
    // The thread only waits on an empty queue.
    if (wasEmpty) cv_.notify_one();
    return true;
}

void Reporter::run() {
    std::unique_lock<std::mutex> lk(m_);
    for (;;) {
        cv_.wait(lk, [this] { return closed_ || !waiting_.empty(); });
        if (closed_) break;
        Report r = waiting_.front();
        waiting_.pop_front();
        ++taken_;
        delivering_ = true;
        lk.unlock();
        deliver_(r.kind, r.value);
        lk.lock();
        delivering_ = false;
    }
}

void Reporter::close() {
    bool join;
    {
        std::lock_guard<std::mutex> g(m_);
        if (closed_) return;
        closed_ = true;
        waiting_.clear();
        // Joining a thread that isn't in a callback only waits for it to see closed_;
        // one that is may be waiting for this very caller.
        join = !delivering_ && thread_.get_id() != std::this_thread::get_id();
    }
    cv_.notify_all();
    if (!thread_.joinable()) return;
    if (join)
        thread_.join();
    else
        thread_.detach();
}

bool Reporter::drained() {
    std::lock_guard<std::mutex> g(m_);
    return waiting_.empty() && !delivering_;
}

}  // namespace keyersim
