#include "comm/CommX.h"

#include "comm/CommReceiveThread_p.h"
#include "comm/CommSession_p.h"
#include "comm/CommTransThread_p.h"
#include "comm/CommXErrors_p.h"
#include "comm/DeviceReturnWatch.h"
#include "comm/PortLockFile_p.h"
#include "comm/PortResolver.h"
#include "comm/ReceiveBuffer_p.h"
#include "comm/SerialDevice_p.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <optional>
#include <poll.h>
#include <system_error>
#include <thread>

namespace
{

constexpr std::chrono::milliseconds kOpenSettle{100};
constexpr std::chrono::milliseconds kCloseSettle{100};
constexpr std::chrono::milliseconds kCloseEnd{200};
constexpr int kMaxChunksInFlight = 32;
// A throttled Write is woken by each finished request; this only bounds a missed wake-up.
constexpr std::chrono::milliseconds kThrottleRecheck{100};
// PurgeTrans waits for the transmit thread to throw its queue away; it never takes longer than
// one write wake-up, so this bound is only reached when the thread is gone.
constexpr std::chrono::milliseconds kPurgeLimit{5000};
constexpr std::chrono::milliseconds kPurgeStep{1};
// How long the destructor waits for worker threads that are still finishing.
constexpr std::chrono::milliseconds kThreadEndLimit{2000};
// Received bytes kept for the reader: the driver queue of the original line, at least one
// kernel tty buffer. Bytes beyond it are lost like an input queue overflow (not reported).
constexpr int kMinReceiveKeep = 4096;
constexpr quint32 kClosedHandle = 0xFFFFFFFFu;

QString defaultSettingsPath()
{
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.path() + QLatin1Char('/') + program.completeBaseName() + QStringLiteral(".ini");
}

} // namespace

using namespace CommXErrors;

TCustomCommX::TCustomCommX(QObject *owner)
    : QObject(owner), m_lockFolder(PortLockFile::systemFolder()),
      m_dcb(std::make_unique<LineSettings>()), m_received(std::make_unique<ReceiveBuffer>())
{
    m_notifier = new CommNotifier([this](CommSession *session, CommNotice notice,
                                         int arg) { handleNotice(session, int(notice), arg); },
                                  this);
    m_dcb->parity = m_parityBit;
    m_dcb->flowCtrl = m_flowCtrl;
}

TCustomCommX::~TCustomCommX()
{
    Close();
    for (const auto &s : m_ended)
        s->releaseNotices();
    const auto deadline = std::chrono::steady_clock::now() + kThreadEndLimit;
    for (const auto &s : m_ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        s->waitThreadsEnded(std::max(left, std::chrono::milliseconds(0)));
    }
    // Queued notices die with the notifier; none can reach this object any more.
    delete m_notifier;
}

QString TCustomCommX::deviceName() const
{
    return isOpen() ? m_session->device->path() : QString();
}

bool TCustomCommX::isOpen() const
{
    return m_session && m_session->device->isOpen();
}

quint32 TCustomCommX::Handle() const
{
    return isOpen() ? quint32(m_session->device->handle()) : kClosedHandle;
}

// ---- open and close ---------------------------------------------------------------------------

void TCustomCommX::Open()
{
    if (isOpen() || m_opening)
        throw commError(kAlreadyOpen);
    struct OpeningScope {
        TCustomCommX *c;
        explicit OpeningScope(TCustomCommX *comm) : c(comm)
        {
            c->m_opening = true;
            c->m_cancelOpen = false;
            c->m_connectingTold = false;
        }
        ~OpeningScope() { c->m_opening = false; }
    } opening(this);
    forgetEndedSessions();
    m_lastFailure = CommFailure{};
    if (!m_resolver)
        m_resolver = PortResolver::resolverFor(defaultSettingsPath());
    const QString path = m_resolver(m_portNo);
    if (path.isEmpty()) {
        CommFailure failure;
        failure.reason = CommFailure::Reason::NoDeviceForPort;
        m_lastFailure = described(failure);
        throw commError(kCannotOpen, m_lastFailure);
    }
    auto session = std::make_shared<CommSession>(SerialDevice::create(path));
    CommFailure failure;
    // A backend that has to wait (a network connect) waits with the window going on; the user
    // may disconnect meanwhile, which gives the open up.
    DeviceOpenOptions options{
        m_lockFolder, [this, path](int fd, short events, std::chrono::milliseconds maxWait) {
            if (m_cancelOpen)
                return false;
            if (m_opening && !m_connectingTold) {
                m_connectingTold = true;
                emit OnConnecting(this, path);
            }
            // An application that is quitting runs no more event loops: the open gives up.
            return waitOnWindowThread(maxWait, fd, events) && !m_cancelOpen;
        }};
    if (!session->device->open(path, options, &failure)) {
        m_lastFailure = described(failure);
        throw commError(kCannotOpen, m_lastFailure);
    }
    m_session = session;
    m_lastAddress = session->device->stableAddress();
    m_lastIdentity = DeviceReturnWatch::identityOf(path);
    session->attachNotifier(m_notifier);
    m_received->reset();
    m_receiveDeferred = false;
    try {
        ApplyBufLen();
        session->device->flushOutput();
        session->device->flushInput();
        *m_dcb = LineSettings{};
        applyBitRate();
        setCharSize(m_charSize);
        setParityBit(m_parityBit);
        setStopBit(m_stopBit);
        setFlowCtrl(m_flowCtrl);
        ApplyTimeOuts();
        setXonChar(m_xonChar);
        setXoffChar(m_xoffChar);
        session->takeBaseline();
        StartThreads();
    } catch (const ECommError &e) {
        m_lastFailure = e.failure();
        // Our own Close below would count as the user's.
        const bool cancelled = m_cancelOpen;
        Close();
        if (cancelled) {
            // Given up by a disconnect while the server was being asked: no failure of the line.
            m_lastFailure.reason = CommFailure::Reason::Cancelled;
            m_lastFailure.setting.clear();
            throw commError(kCannotOpen, m_lastFailure);
        }
        throw;
    }
}

CommFailure TCustomCommX::described(CommFailure failure) const
{
    failure.port = m_portNo;
    if (failure.device.isEmpty() && failure.reason != CommFailure::Reason::NoDeviceForPort &&
        m_session)
        failure.device = m_session->device->path();
    if (failure.reason == CommFailure::Reason::None)
        failure.reason = CommFailure::Reason::Other;
    return failure;
}

void TCustomCommX::raise(const char *message, const CommFailure &failure) const
{
    throw commError(message, described(failure));
}

void TCustomCommX::StartThreads()
{
    m_transThread.reset();
    m_receiveThread.reset();
    CommFailure failure;
    try {
        auto tx = std::make_shared<TCommTransThread>(m_session);
        if (m_bitRate < 10) {
            // No character time: 1000 / (rate / 10) has no value.
            failure.error = EINVAL;
            failure.setting = bitRateText(m_bitRate);
            throw std::domain_error("bit rate");
        }
        tx->CharTime = 1000 / (m_bitRate / 10) + 1;
        tx->start();
        m_transThread = tx;
    } catch (const std::system_error &e) {
        failure.error = e.code().value();
        raise(kTransThread, failure);
    } catch (...) {
        raise(kTransThread, failure);
    }
    try {
        auto rx = std::make_shared<TCommReceiveThread>(m_session);
        rx->start();
        m_receiveThread = rx;
    } catch (const std::system_error &e) {
        failure.error = e.code().value();
        raise(kReceiveThread, failure);
    } catch (...) {
        raise(kReceiveThread, failure);
    }
    std::this_thread::sleep_for(kOpenSettle);
}

void TCustomCommX::Close()
{
    if (m_opening) {
        // The open under way gives up at its next wait.
        m_cancelOpen = true;
        wakeWindowWaits();
    }
    if (!isOpen())
        return;
    SetDtr(false);
    SetRts(false);
    PurgeTrans();
    PurgeReceive();
    std::this_thread::sleep_for(kCloseSettle);
    stopThreadsAndRelease();
    std::this_thread::sleep_for(kCloseEnd);
}

void TCustomCommX::stopThreadsAndRelease()
{
    if (auto tx = m_transThread.lock()) {
        tx->Terminate();
        tx->wakeUp();
    }
    if (auto rx = m_receiveThread.lock()) {
        rx->Terminate();
        rx->wake();
    }
    // From here every notice of this open period is dropped and its waiting sender released.
    m_session->releaseNotices();
    m_session->device->release();
    m_ended.append(m_session);
    m_session.reset();
    m_received->clear();
    m_receiveDeferred = false;
    wakeWindowWaits();
}

void TCustomCommX::forgetEndedSessions()
{
    m_ended.removeIf([](const std::shared_ptr<CommSession> &s) { return s->threadsEnded(); });
}

// ---- sending ----------------------------------------------------------------------------------

bool TCustomCommX::SendString(const QByteArray &text)
{
    if (text.isEmpty())
        return true;
    return Write(text.constData(), int(text.size()));
}

bool TCustomCommX::Write(const char *buffer, int count)
{
    int done = 0;
    while (done < count) {
        auto tx = m_transThread.lock();
        if (!isOpen() || !tx)
            return false;
        const std::shared_ptr<CommSession> session = m_session;
        if (session->pendingChunks() >= kMaxChunksInFlight) {
            // Throttled: the window goes on with its events until the transmit thread finishes
            // a request (it wakes us) or the port closes.
            tx.reset();
            ++session->writersWaiting;
            if (session->pendingChunks() >= kMaxChunksInFlight)
                waitOnWindowThread(kThrottleRecheck, -1);
            --session->writersWaiting;
            continue;
        }
        // A chunk size below 1 would never get through the buffer.
        const int length = std::min(count - done, std::max(1, m_bufLenTrans));
        try {
            QByteArray chunk(buffer + done, length);
            session->addPending(length);
            tx->post(std::move(chunk));
        } catch (const std::bad_alloc &) {
            // Skipped without report, like a block that could not be allocated.
        }
        done += length;
    }
    return true;
}

void TCustomCommX::PurgeTrans()
{
    if (!isOpen())
        return;
    const std::shared_ptr<CommSession> session = m_session;
    auto tx = m_transThread.lock();
    if (!tx) {
        std::lock_guard lock(session->WriteLock);
        session->device->flushOutput();
        return;
    }
    tx->setDiscard(true);
    const auto giveUpAt = std::chrono::steady_clock::now() + kPurgeLimit;
    for (;;) {
        {
            std::lock_guard lock(session->WriteLock);
            session->device->flushOutput();
        }
        if (session->waitNoPendingBytes(kPurgeStep) || std::chrono::steady_clock::now() > giveUpAt)
            break;
    }
    tx->setDiscard(false);
}

int TCustomCommX::PendingBytes() const
{
    return m_session ? m_session->pendingBytes() : 0;
}

int TCustomCommX::PendingChunks() const
{
    return m_session ? m_session->pendingChunks() : 0;
}

void TCustomCommX::SetRts(bool on)
{
    if (isOpen())
        m_session->device->setRts(on);
}

void TCustomCommX::SetDtr(bool on)
{
    if (isOpen())
        m_session->device->setDtr(on);
}

// ---- receiving --------------------------------------------------------------------------------

bool TCustomCommX::drainDevice(bool *failed)
{
    if (failed)
        *failed = false;
    if (!isOpen())
        return false;
    switch (m_received->drain(*m_session->device, std::max(m_bufLenReceive, kMinReceiveKeep))) {
    case ReceiveBuffer::Drain::Ok:
        return true;
    case ReceiveBuffer::Drain::Lost:
        m_session->reportLost();
        return false;
    case ReceiveBuffer::Drain::Failed:
        if (failed)
            *failed = true;
        return false;
    }
    return false;
}

int TCustomCommX::ReceiveCount()
{
    if (!isOpen())
        return 0;
    // Line errors met here are dropped, as the driver's error word was.
    drainDevice();
    return int(m_received->waiting());
}

void TCustomCommX::PurgeReceive()
{
    if (!isOpen())
        return;
    m_session->device->flushInput();
    m_received->reset();
}

int TCustomCommX::ReadChar()
{
    unsigned char c = 0;
    return Read(reinterpret_cast<char *>(&c), 1) == 1 ? int(c) : -1;
}

int TCustomCommX::Read(char *buffer, int count)
{
    if (!isOpen() || m_receiveThread.expired() || !buffer || count <= 0)
        return -1;
    // One read at a time: a read started by a handler nested inside a waiting read must not
    // take the bytes that one waits for.
    if (m_readDepth > 0)
        return -1;

    struct ReadScope {
        TCustomCommX *c;
        int dupFd = -1;
        ReadScope(TCustomCommX *comm) : c(comm) { ++c->m_readDepth; }
        ~ReadScope()
        {
            if (dupFd >= 0)
                closeWakeFd(dupFd);
            if (--c->m_readDepth == 0 && c->m_receiveDeferred) {
                // The receive notice that came while this read waited is served now, as a
                // notice of its own after this read's caller has gone on.
                c->m_receiveDeferred = false;
                if (c->m_session)
                    c->m_session->post(CommNotice::Receive);
            }
        }
    } scope(this);

    const std::shared_ptr<CommSession> session = m_session;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, m_timeOutReceive));
    qsizetype got = m_received->take(buffer, count);
    for (;;) {
        if (got == count)
            return int(got);
        bool failed = false;
        if (!drainDevice(&failed)) {
            if (failed)
                reportLineErrors();
            return -1;
        }
        got += m_received->take(buffer + got, count - got);
        if (got == count)
            return int(got);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return int(got);
        if (scope.dupFd < 0)
            scope.dupFd = session->device->duplicate();
        waitOnWindowThread(left, scope.dupFd);
        if (m_session != session || !isOpen() || m_receiveThread.expired())
            return -1;
    }
}

void TCustomCommX::reportLineErrors()
{
    bool breakSeen = false;
    const int bits = m_session->takeLineErrors(&breakSeen);
    if (bits != 0)
        emit OnError(this, bits);
}

// ---- notices ----------------------------------------------------------------------------------

void TCustomCommX::handleNotice(CommSession *session, int notice, int arg)
{
    switch (CommNotice(notice)) {
    case CommNotice::DeviceLost:
        deviceLost(session);
        return;
    case CommNotice::ChunkDone:
        wakeWindowWaits();
        return;
    default:
        break;
    }
    // A notice of an earlier open period, or one that comes after Close, is dropped.
    if (session != m_session.get() || !isOpen())
        return;
    switch (CommNotice(notice)) {
    case CommNotice::Receive:
        receiveNotice();
        break;
    case CommNotice::Break:
        emit OnBreak(this);
        break;
    case CommNotice::Error:
        emit OnError(this, arg);
        break;
    default:
        break;
    }
}

void TCustomCommX::receiveNotice()
{
    if (m_readDepth > 0) {
        // Taking the bytes in now keeps the receive thread from waking again for them; the
        // waiting read finds them, and OnReceive comes after that read has ended.
        m_receiveDeferred = true;
        drainDevice();
        wakeWindowWaits();
        return;
    }
    const int n = ReceiveCount();
    if (n == 0)
        return;
    emit OnReceive(this, n);
    // A handler may stop early (the receiver does, at a rejected frame) and leave bytes for the
    // next event. The driver raises one only when more bytes arrive, so the last burst of a
    // quiet line would wait unseen: raise it again, from the event loop, while the handler
    // keeps taking bytes.
    // Only what this event already took in counts: draining the driver here would pull the
    // next burst into the bounded buffer ahead of its own notice.
    const int left = isOpen() ? int(m_received->waiting()) : 0;
    if (left > 0 && left < n) {
        QMetaObject::invokeMethod(
            this,
            [this, session = std::weak_ptr<CommSession>(m_session)] {
                if (!session.expired() && session.lock() == m_session)
                    receiveNotice();
            },
            Qt::QueuedConnection);
    }
}

void TCustomCommX::deviceLost(CommSession *session)
{
    if (session != m_session.get() || !isOpen())
        return;
    // No purge and no settling waits: there is no line left to settle.
    stopThreadsAndRelease();
    emit OnDeviceLost(this);
}

// ---- waiting on the window thread -------------------------------------------------------------

bool TCustomCommX::waitOnWindowThread(std::chrono::milliseconds maxWait, int watchFd, short events)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(maxWait);
    std::optional<QSocketNotifier> readable;
    std::optional<QSocketNotifier> writable;
    if (watchFd >= 0 && (events & POLLIN)) {
        readable.emplace(qintptr(watchFd), QSocketNotifier::Read);
        connect(&*readable, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    if (watchFd >= 0 && (events & POLLOUT)) {
        writable.emplace(qintptr(watchFd), QSocketNotifier::Write);
        connect(&*writable, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    m_waits.append(&loop);
    const int result = loop.exec();
    m_waits.removeOne(&loop);
    return result != -1;
}

void TCustomCommX::wakeWindowWaits()
{
    for (QEventLoop *loop : std::as_const(m_waits))
        loop->quit();
}
