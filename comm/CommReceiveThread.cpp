#include "comm/CommReceiveThread_p.h"

#include "comm/CommSession_p.h"

#include <chrono>
#include <thread>

namespace
{
constexpr std::chrono::milliseconds kCounterPoll{100};
constexpr std::chrono::milliseconds kRunEndWait{100};
constexpr int kEvRxChar = 0x01;
constexpr int kEvBreak = 0x40;
} // namespace

TCommReceiveThread::TCommReceiveThread(std::shared_ptr<CommSession> owner)
    : m_owner(std::move(owner)), WakeEvent(makeWakeFd())
{
}

TCommReceiveThread::~TCommReceiveThread()
{
    closeWakeFd(WakeEvent);
}

void TCommReceiveThread::start()
{
    CommSession::runDetached(m_owner, shared_from_this());
}

void TCommReceiveThread::Terminate()
{
    m_terminated = true;
    m_owner->kickNoticeWaiters();
}

void TCommReceiveThread::wake()
{
    signalWakeFd(WakeEvent);
}

void TCommReceiveThread::run()
{
    CommSession &s = *m_owner;
    while (!m_terminated) {
        // Without counters there is nothing to look at between wake-ups, and an idle port
        // sleeps without a time limit.
        const int timeout = s.device->counters() ? int(kCounterPoll.count()) : -1;
        const SerialDevice::Wait w = s.device->waitReadable(WakeEvent, timeout);
        if (m_terminated)
            break;
        if (w == SerialDevice::Wait::HungUp || w == SerialDevice::Wait::Failed) {
            s.reportLost();
            break;
        }
        if (w == SerialDevice::Wait::Woken)
            clearWakeFd(WakeEvent);
        bool breakSeen = false;
        const int errors = s.takeLineErrors(&breakSeen);
        const bool data = w == SerialDevice::Wait::Ready;
        if (errors != 0)
            s.deliver(CommNotice::Error, errors);
        if (breakSeen && !m_terminated)
            s.deliver(CommNotice::Break, kEvBreak | (data ? kEvRxChar : 0));
        if (data && !m_terminated)
            s.deliver(CommNotice::Receive, 0);
    }
    std::this_thread::sleep_for(kRunEndWait);
}
