#pragma once

#include "comm/SerialDevice_p.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CommSession;

// Notices from the worker threads (and Read) to the window thread. The first three are the
// component's window messages; the others are our own and never make the sender wait.
enum class CommNotice {
    Receive = 0x500,
    Break = 0x501,
    Error = 0x502,
    DeviceLost = 0x510, // the device went away (hang-up, EIO, ENODEV)
    ChunkDone = 0x511,  // a write request finished; wakes a throttled Write
};

// The component's hidden notice window: a plain object living on the window thread. Notices
// are queued to it and run there through its handler.
//
// Thread contract: created, used and destroyed on the window thread; workers only queue calls
// to it through CommSession, which knows whether it still exists.
class CommNotifier : public QObject
{
public:
    using Handler = std::function<void(CommSession *, CommNotice, int)>;
    explicit CommNotifier(Handler handler, QObject *parent = nullptr)
        : QObject(parent), m_handler(std::move(handler))
    {
    }
    void dispatch(CommSession *session, CommNotice notice, int arg)
    {
        m_handler(session, notice, arg);
    }

private:
    Handler m_handler;
};

// What one open period of the port shares between the component and its two worker threads.
// Each of them holds it by shared_ptr, so a worker that outlives Close (or the component) still
// finds its device, locks and counters, and never touches freed memory.
//
// Thread contract:
// - device: see SerialDevice.
// - WriteLock: held by the transmit thread around each single write and by PurgeTrans around
//   each output flush. CountLock (inside) guards the two pending counters. Neither is held while
//   the other is taken or across a wait.
// - flowCtrl, timeOutTrans: written by the window thread, read by the transmit thread.
// - Notices: deliver() may be called from any thread but the window thread; it blocks until the
//   window thread has run the handler, or until releaseNotices() (Close, destruction), or until
//   *giveUp turns true. After releaseNotices() every notice is dropped.
class CommSession : public std::enable_shared_from_this<CommSession>
{
public:
    explicit CommSession(std::unique_ptr<SerialDevice> device) : device(std::move(device)) {}
    CommSession(const CommSession &) = delete;
    CommSession &operator=(const CommSession &) = delete;

    const std::unique_ptr<SerialDevice> device;
    std::mutex WriteLock;
    std::atomic<TCommFlowCtrls> flowCtrl{cfcNone};
    std::atomic<int> timeOutTrans{3000};
    std::atomic<int> writersWaiting{0}; // throttled Write calls waiting for a ChunkDone

    void addPending(int bytes);
    // One request finished (written or thrown away): counters go down, never below 0.
    void finishRequest(int bytes);
    int pendingBytes() const;
    int pendingChunks() const;
    // Sleeps until pendingBytes is 0 or the time passes; true when it is 0.
    bool waitNoPendingBytes(std::chrono::milliseconds maxWait);

    void attachNotifier(CommNotifier *notifier);
    bool deliver(CommNotice notice, int arg, const std::atomic<bool> *giveUp = nullptr);
    // Queues a notice without waiting for it.
    void post(CommNotice notice, int arg = 0);
    void releaseNotices();
    // Makes deliver() look at its giveUp flag again.
    void kickNoticeWaiters();

    // Marks the device lost and tells the window thread, once per open period.
    void reportLost();
    bool isLost() const { return m_lost.load(); }

    // Line error bits (0x02 overrun, 0x04 parity, 0x08 framing) and breaks since the last call,
    // from the driver's counters; the first baseline is taken at open.
    void takeBaseline();
    int takeLineErrors(bool *breakSeen);

    void threadStarted();
    void threadEnded();

    // Runs worker->run() on a detached thread that holds the only strong reference to the
    // worker, so the worker disposes of itself; the count of running threads covers it.
    template <class Worker>
    static void runDetached(std::shared_ptr<CommSession> owner, std::shared_ptr<Worker> worker)
    {
        owner->threadStarted();
        try {
            std::thread([worker = std::move(worker), owner] {
                worker->run();
                // Last: after this the component may stop waiting for us.
                owner->threadEnded();
            }).detach();
        } catch (...) {
            owner->threadEnded();
            throw;
        }
    }
    bool waitThreadsEnded(std::chrono::milliseconds maxWait);
    bool threadsEnded();

private:
    mutable std::mutex m_countLock; // CountLock
    std::condition_variable m_countChanged;
    int m_pendingBytes = 0;
    int m_pendingChunks = 0;

    std::mutex m_noticeLock;
    std::condition_variable m_noticeDone;
    CommNotifier *m_notifier = nullptr;
    bool m_released = false;

    std::atomic<bool> m_lost{false};

    std::mutex m_baselineLock;
    std::optional<LineCounters> m_baseline;

    std::mutex m_threadLock;
    std::condition_variable m_threadsChanged;
    int m_threads = 0;
};
