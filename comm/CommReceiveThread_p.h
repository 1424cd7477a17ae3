#pragma once

#include <atomic>
#include <memory>

class CommSession;

// The receive thread: sleeps until the line has data, a line error or a break (or until Close
// wakes it) and turns each wake-up into notices for the window thread, in the order error,
// break, receive, each waited for. It reads no data. It disposes of itself like the transmit
// thread.
//
// Line errors and breaks come from the driver's counters, read after every wake-up and, on
// devices that have counters, every kCounterPoll as well (an overrun or break may come without
// data that would wake the thread).
//
// Thread contract: Terminate() and wake() are called by the window thread; the rest runs on the
// thread itself. WakeEvent is an eventfd owned by this object for its whole life, so Close can
// signal it before or after the run has started.
class TCommReceiveThread : public std::enable_shared_from_this<TCommReceiveThread>
{
public:
    explicit TCommReceiveThread(std::shared_ptr<CommSession> owner);
    ~TCommReceiveThread();
    TCommReceiveThread(const TCommReceiveThread &) = delete;
    TCommReceiveThread &operator=(const TCommReceiveThread &) = delete;

    void start();
    void Terminate();
    void wake();

private:
    friend class CommSession; // runs run() on the detached thread
    void run();

    std::shared_ptr<CommSession> m_owner;
    int WakeEvent = -1;
    std::atomic<bool> m_terminated{false};
};
