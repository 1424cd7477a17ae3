#include "comm/CommSession_p.h"

#include <QMetaObject>

namespace
{

// Orders the making of a queued call on a worker before its run on the window thread in a way
// that the thread sanitizer can see (Qt's own event queue lock is outside its view): the worker
// posts while holding it, the call takes it once before reading what it carries.
std::mutex g_handOver;

void takeHandOver()
{
    std::lock_guard lock(g_handOver);
}

} // namespace

void CommSession::addPending(int bytes)
{
    std::lock_guard lock(m_countLock);
    m_pendingBytes += bytes;
    ++m_pendingChunks;
}

void CommSession::finishRequest(int bytes)
{
    {
        std::lock_guard lock(m_countLock);
        m_pendingBytes = m_pendingBytes - bytes > 0 ? m_pendingBytes - bytes : 0;
        if (m_pendingChunks > 0)
            --m_pendingChunks;
    }
    m_countChanged.notify_all();
    if (writersWaiting.load() > 0)
        post(CommNotice::ChunkDone);
}

int CommSession::pendingBytes() const
{
    std::lock_guard lock(m_countLock);
    return m_pendingBytes;
}

int CommSession::pendingChunks() const
{
    std::lock_guard lock(m_countLock);
    return m_pendingChunks;
}

bool CommSession::waitNoPendingBytes(std::chrono::milliseconds maxWait)
{
    std::unique_lock lock(m_countLock);
    return m_countChanged.wait_for(lock, maxWait, [this] { return m_pendingBytes == 0; });
}

void CommSession::attachNotifier(CommNotifier *notifier)
{
    std::lock_guard lock(m_noticeLock);
    m_notifier = notifier;
}

bool CommSession::deliver(CommNotice notice, int arg, const std::atomic<bool> *giveUp)
{
    auto handled = std::make_shared<bool>(false); // guarded by m_noticeLock
    std::unique_lock lock(m_noticeLock);
    if (m_released || !m_notifier)
        return false;
    std::unique_lock handOver(g_handOver);
    QMetaObject::invokeMethod(
        m_notifier,
        [self = shared_from_this(), handled, notice, arg, notifier = m_notifier] {
            takeHandOver();
            // Set even when a handler throws: the sender must never be left waiting.
            struct Done {
                CommSession *s;
                bool *flag;
                ~Done()
                {
                    {
                        std::lock_guard l(s->m_noticeLock);
                        *flag = true;
                    }
                    s->m_noticeDone.notify_all();
                }
            } done{self.get(), handled.get()};
            notifier->dispatch(self.get(), notice, arg);
        },
        Qt::QueuedConnection);
    handOver.unlock();
    m_noticeDone.wait(lock, [&] { return *handled || m_released || (giveUp && giveUp->load()); });
    return *handled;
}

void CommSession::post(CommNotice notice, int arg)
{
    std::lock_guard lock(m_noticeLock);
    if (m_released || !m_notifier)
        return;
    std::lock_guard handOver(g_handOver);
    QMetaObject::invokeMethod(
        m_notifier,
        [self = shared_from_this(), notice, arg, notifier = m_notifier] {
            takeHandOver();
            notifier->dispatch(self.get(), notice, arg);
        },
        Qt::QueuedConnection);
}

void CommSession::releaseNotices()
{
    {
        std::lock_guard lock(m_noticeLock);
        m_released = true;
        m_notifier = nullptr;
    }
    m_noticeDone.notify_all();
}

void CommSession::kickNoticeWaiters()
{
    {
        // Taken so that a sender between its check and its sleep cannot miss the kick.
        std::lock_guard lock(m_noticeLock);
    }
    m_noticeDone.notify_all();
}

void CommSession::reportLost()
{
    if (!m_lost.exchange(true))
        post(CommNotice::DeviceLost);
}

void CommSession::takeBaseline()
{
    std::lock_guard lock(m_baselineLock);
    m_baseline = device->counters();
}

int CommSession::takeLineErrors(bool *breakSeen)
{
    *breakSeen = false;
    const std::optional<LineCounters> now = device->counters();
    if (!now)
        return 0;
    std::lock_guard lock(m_baselineLock);
    // A device whose counters appear only after open (the test seam) starts from zero.
    const LineCounters before = m_baseline.value_or(LineCounters{});
    m_baseline = now;
    int bits = 0;
    if (now->overrun > before.overrun)
        bits |= 0x02;
    if (now->parity > before.parity)
        bits |= 0x04;
    if (now->frame > before.frame)
        bits |= 0x08;
    *breakSeen = now->brk > before.brk;
    return bits;
}

void CommSession::threadStarted()
{
    std::lock_guard lock(m_threadLock);
    ++m_threads;
}

void CommSession::threadEnded()
{
    {
        std::lock_guard lock(m_threadLock);
        --m_threads;
    }
    m_threadsChanged.notify_all();
}

bool CommSession::waitThreadsEnded(std::chrono::milliseconds maxWait)
{
    std::unique_lock lock(m_threadLock);
    return m_threadsChanged.wait_for(lock, maxWait, [this] { return m_threads == 0; });
}

bool CommSession::threadsEnded()
{
    std::lock_guard lock(m_threadLock);
    return m_threads == 0;
}
