#include "comm/CommTransThread_p.h"

#include "comm/CommSession_p.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace
{
constexpr std::chrono::milliseconds kRtsLead{50};
constexpr std::chrono::milliseconds kRunEndWait{100};
} // namespace

TCommTransThread::TCommTransThread(std::shared_ptr<CommSession> owner)
    : m_owner(std::move(owner)), m_writeWake(makeWakeFd())
{
}

TCommTransThread::~TCommTransThread()
{
    closeWakeFd(m_writeWake);
}

void TCommTransThread::start()
{
    CommSession::runDetached(m_owner, shared_from_this());
}

void TCommTransThread::post(QByteArray chunk)
{
    {
        std::lock_guard lock(m_queueLock);
        m_queue.push_back(std::move(chunk));
    }
    m_queueChanged.notify_one();
}

void TCommTransThread::wakeUp()
{
    {
        std::lock_guard lock(m_queueLock);
        m_wakeUp = true;
    }
    m_queueChanged.notify_one();
    signalWakeFd(m_writeWake);
}

void TCommTransThread::Terminate()
{
    m_terminated = true;
    m_owner->kickNoticeWaiters();
}

void TCommTransThread::setDiscard(bool on)
{
    Discard = on;
    if (on) {
        signalWakeFd(m_writeWake);
        m_owner->kickNoticeWaiters();
    }
}

bool TCommTransThread::stopped() const
{
    return Discard.load() || m_terminated.load() || m_owner->isLost();
}

void TCommTransThread::run()
{
    for (;;) {
        bool batch = false;
        {
            std::unique_lock lock(m_queueLock);
            m_queueChanged.wait(lock, [this] { return !m_queue.empty() || m_wakeUp; });
            m_wakeUp = false;
        }
        for (;;) {
            QByteArray chunk;
            {
                std::lock_guard lock(m_queueLock);
                if (m_queue.empty())
                    break;
                chunk = std::move(m_queue.front());
                m_queue.pop_front();
            }
            if (!stopped()) {
                if (!batch) {
                    batch = true;
                    preTransmit();
                }
                writeChunk(chunk);
            }
            const int n = int(chunk.size());
            chunk = QByteArray();
            m_owner->finishRequest(n);
        }
        if (batch)
            postTransmit();
        if (m_terminated)
            break;
    }
    std::this_thread::sleep_for(kRunEndWait);
}

void TCommTransThread::writeChunk(const QByteArray &chunk)
{
    SerialDevice &device = *m_owner->device;
    const char *p = chunk.constData();
    qint64 rest = chunk.size();
    // The write time-out: a chunk the line has not taken in TimeOutTrans ms ends short, the rest
    // of it dropped without report.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(std::max(0, m_owner->timeOutTrans.load()));
    clearWakeFd(m_writeWake);
    while (!stopped()) {
        int err = 0;
        qint64 n;
        {
            std::lock_guard lock(m_owner->WriteLock);
            n = device.writeSome(p, rest, &err);
        }
        if (n < 0) {
            if (meansDeviceGone(err)) {
                m_owner->reportLost();
                return;
            }
            reportLineErrors();
            return;
        }
        p += n;
        rest -= n;
        // A network backend may still hold the end of what it took; it is sent before the
        // request counts as written.
        if (rest <= 0 && !device.outputPending())
            return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        switch (device.waitWritable(m_writeWake, int(left.count()))) {
        case SerialDevice::Wait::Ready:
            break;
        case SerialDevice::Wait::Woken:
            clearWakeFd(m_writeWake);
            break;
        case SerialDevice::Wait::TimedOut:
            return;
        case SerialDevice::Wait::HungUp:
        case SerialDevice::Wait::Failed:
            if (!m_terminated)
                m_owner->reportLost();
            return;
        }
    }
}

void TCommTransThread::reportLineErrors()
{
    bool breakSeen = false;
    const int bits = m_owner->takeLineErrors(&breakSeen);
    // A purge waits for this thread; the notice must not hold it up, so it is given up when
    // Discard is set.
    if (bits != 0)
        m_owner->deliver(CommNotice::Error, bits, &Discard);
}

void TCommTransThread::preTransmit()
{
    const TCommFlowCtrls mode = m_owner->flowCtrl.load();
    if (mode != cfcHalfHigh && mode != cfcHalfLow)
        return;
    std::this_thread::sleep_for(kRtsLead);
    m_owner->device->setRts(mode == cfcHalfHigh);
    std::this_thread::sleep_for(std::chrono::milliseconds(CharTime.load()));
}

void TCommTransThread::postTransmit()
{
    const TCommFlowCtrls mode = m_owner->flowCtrl.load();
    if (mode != cfcHalfHigh && mode != cfcHalfLow)
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(CharTime.load()));
    m_owner->device->setRts(mode != cfcHalfHigh);
}
