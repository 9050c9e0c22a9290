// The chip's reports on their way to the callback: a queue and a thread of its own that
// empties it, so that nothing a callback does (block, take its time, call back into the
// library, close the chip) can hold up the keying.
//
// Reports of one chip are delivered in order, one at a time, on the reporter's thread.
// A speed-pot report that finds another one still waiting replaces its value instead of
// queueing behind it (the pot has one reading), so a caller polling mx_getpot in a loop
// can't make the queue grow; other reports wait, up to kMaxWaitingReports.
//
// Closing never waits for a callback: close() drops what waits and marks the reporter
// closed under its lock, and the thread decides under the same lock whether to start a
// callback. So no callback starts once close() has returned; the one callback whose
// delivery had already begun may still be running (or about to enter the callback),
// and its thread ends by itself when that returns.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace keyersim {

// Hands a report to the callback; called on the reporter's thread with no lock held.
using Deliver = std::function<void(int kind, int value)>;

inline constexpr std::size_t kMaxWaitingReports = 1024;

class Reporter : public std::enable_shared_from_this<Reporter> {
public:
    explicit Reporter(Deliver deliver) : deliver_(std::move(deliver)) {}
    ~Reporter();
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    void start();
    // Queues a report. False when kMaxWaitingReports wait already and it was dropped; a
    // closed reporter drops reports without a word.
    bool post(int kind, int value);
    // Drops what waits and starts no further callback. Never waits for a callback in
    // progress; the thread is joined only when it is not in one, else left to end by
    // itself (it holds the reporter alive until then).
    void close();
    // Nothing waits and no callback is in progress.
    bool drained();

private:
    struct Report {
        int kind;
        int value;
    };
    void run();

    Deliver deliver_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Report> waiting_;
    long taken_ = 0;        // reports taken off the queue so far
    long potAt_ = -1;       // queue position (counted like taken_) of a waiting pot report
    bool closed_ = false;
    bool delivering_ = false;
    std::thread thread_;
};

}  // namespace keyersim
