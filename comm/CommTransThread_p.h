#pragma once

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class CommSession;

// The transmit thread: takes the write requests that Write queues and writes them to the port
// one after the other, in posting order; drives RTS around each batch in the two half-duplex
// modes. It disposes of itself: the running thread holds the only strong reference, the
// component keeps a weak one.
//
// Thread contract: post(), wakeUp(), Terminate(), setDiscard() and CharTime are used by the
// window thread; everything else runs on the thread itself. The queue is guarded by its own
// mutex; Discard, CharTime and the terminate request are atomics read without a lock.
class TCommTransThread : public std::enable_shared_from_this<TCommTransThread>
{
public:
    static constexpr int kWriteRequest = 0x500;
    static constexpr int kWakeUp = 0x501;

    explicit TCommTransThread(std::shared_ptr<CommSession> owner);
    ~TCommTransThread();
    TCommTransThread(const TCommTransThread &) = delete;
    TCommTransThread &operator=(const TCommTransThread &) = delete;

    // Starts the run on a thread of its own; throws std::system_error when none can be made.
    void start();
    // Write request: the chunk belongs to the thread from here on.
    void post(QByteArray chunk);
    // Wake-up message: only wakes the thread.
    void wakeUp();
    void Terminate();
    // While set, queued requests are thrown away unwritten; setting it also breaks off the
    // write in progress.
    void setDiscard(bool on);

    std::atomic<bool> Discard{false};
    std::atomic<int> CharTime{0};

private:
    friend class CommSession; // runs run() on the detached thread
    void run();
    void writeChunk(const QByteArray &chunk);
    void reportLineErrors();
    void preTransmit();
    void postTransmit();
    bool stopped() const;

    std::shared_ptr<CommSession> m_owner;
    std::mutex m_queueLock;
    std::condition_variable m_queueChanged;
    std::deque<QByteArray> m_queue;
    bool m_wakeUp = false;
    std::atomic<bool> m_terminated{false};
    int m_writeWake = -1; // eventfd: breaks off a write that waits for room on the line
};
