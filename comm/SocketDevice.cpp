#include "comm/SocketDevice_p.h"

#include "comm/PosixIo_p.h"
#include "comm/Rfc2217_p.h"

#include <QByteArray>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;
using namespace Rfc2217;

// Bounds one pump, so a flooding server cannot keep the window thread in it.
constexpr int kPumpRounds = 16;
constexpr int kDiscardRounds = 64;

// The name lookup runs on a thread of its own: getaddrinfo cannot be bounded in time. The
// thread keeps this alive until it has finished, also when nobody waits for it any more.
struct Lookup {
    std::mutex lock;
    bool done = false;
    int rc = 0;
    int sysErr = 0;
    addrinfo *result = nullptr;
    int wakeFd = makeWakeFd();
    ~Lookup()
    {
        if (result)
            ::freeaddrinfo(result);
        closeWakeFd(wakeFd);
    }
};

void setIntOption(int fd, int level, int name, int value)
{
    ::setsockopt(fd, level, name, &value, sizeof value);
}

} // namespace

SocketDevice::~SocketDevice()
{
    release();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SocketDevice::waitFor(int fd, short events, Clock::time_point until)
{
    for (;;) {
        if (m_released)
            return false;
        if (PosixIo::pollNow(fd, events))
            return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0)
            return true; // the caller finds it not ready: timed out
        if (m_wait) {
            // A copy: a Close during the wait releases the device, which lets go of m_wait.
            const DeviceOpenOptions::Wait wait = m_wait;
            if (!wait(fd, events, left))
                return false;
        } else {
            pollfd p{fd, events, 0};
            PosixIo::retryEintr([&] { return ::poll(&p, 1, int(left.count())); });
        }
    }
}

bool SocketDevice::open(const QString &address, const DeviceOpenOptions &options,
                        CommFailure *failure)
{
    using Reason = CommFailure::Reason;
    failure->device = address;
    m_address = NetworkAddress::parse(address);
    if (!m_address.isValid()) {
        failure->reason = Reason::NoSuchDevice;
        failure->error = EINVAL;
        return false;
    }
    m_wait = options.wait;
    m_released = false;
    m_eof = false;
    if (!connectTo(failure))
        return false;
    setPath(address);
    if (isRfc2217() && !negotiate(failure)) {
        ::close(m_fd);
        m_fd = -1;
        m_wait = {};
        return false;
    }
    return true;
}

bool SocketDevice::connectTo(CommFailure *failure)
{
    using Reason = CommFailure::Reason;
    auto refuse = [&](Reason reason, int err) {
        failure->reason = reason;
        failure->error = err;
        return false;
    };
    const auto deadline = Clock::now() + kConnectLimit;

    auto lookup = std::make_shared<Lookup>();
    if (lookup->wakeFd < 0)
        return refuse(Reason::Other, errno);
    const QByteArray host = m_address.host.toUtf8();
    const QByteArray service = QByteArray::number(m_address.port);
    try {
        std::thread([lookup, host, service] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_NUMERICSERV;
            addrinfo *result = nullptr;
            const int rc = ::getaddrinfo(host.constData(), service.constData(), &hints, &result);
            const int sysErr = errno;
            {
                std::lock_guard l(lookup->lock);
                lookup->rc = rc;
                lookup->sysErr = sysErr;
                lookup->result = result;
                lookup->done = true;
            }
            signalWakeFd(lookup->wakeFd);
        }).detach();
    } catch (const std::system_error &e) {
        return refuse(Reason::Other, e.code().value());
    }
    if (!waitFor(lookup->wakeFd, POLLIN, deadline))
        return refuse(Reason::Cancelled, ECANCELED);
    const addrinfo *list = nullptr;
    {
        std::lock_guard l(lookup->lock);
        if (!lookup->done)
            return refuse(Reason::TimedOut, ETIMEDOUT);
        if (lookup->rc == EAI_SYSTEM)
            return refuse(Reason::HostNotFound, lookup->sysErr);
        if (lookup->rc != 0)
            return refuse(Reason::HostNotFound, 0);
        list = lookup->result;
    }

    int lastErr = EHOSTUNREACH;
    for (const addrinfo *ai = list; ai; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                ai->ai_protocol);
        if (fd < 0) {
            lastErr = errno;
            continue;
        }
        int err = 0;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            err = errno;
            if (err == EINPROGRESS || err == EINTR) {
                if (!waitFor(fd, POLLOUT, deadline)) {
                    ::close(fd);
                    return refuse(Reason::Cancelled, ECANCELED);
                }
                if (!PosixIo::pollNow(fd, POLLOUT)) {
                    ::close(fd);
                    return refuse(Reason::TimedOut, ETIMEDOUT);
                }
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                    err = errno;
            }
        }
        if (err != 0) {
            ::close(fd);
            lastErr = err;
            if (Clock::now() >= deadline)
                return refuse(Reason::TimedOut, ETIMEDOUT);
            continue;
        }
        // Key frames are a few bytes each and must leave at once; a dead network must be
        // noticed within seconds, as an unplugged adapter is.
        setIntOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
        setIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
        setIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
        setIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
        setIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
        setIntOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, kUserTimeoutMs);
        m_fd = fd;
        return true;
    }
    const CommFailure::Reason reason = CommFailure::reasonFor(lastErr);
    return refuse(reason == Reason::Other || reason == Reason::None ? Reason::Unreachable : reason,
                  lastErr);
}

void SocketDevice::release()
{
    if (m_fd < 0 || m_released.exchange(true))
        return;
    // The peer sees the end now, even while a window-thread wait still holds a duplicate; the
    // number stays reserved (on /dev/null) for a worker that may still poll it.
    ::shutdown(m_fd, SHUT_RDWR);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup3(null, m_fd, O_CLOEXEC);
        ::close(null);
    }
    m_wait = {};
}

// ---- receiving --------------------------------------------------------------------------------

SocketDevice::Pump SocketDevice::pump(int *err, bool dropData)
{
    char raw[4096];
    Pump result = Pump::Ok;
    for (int round = 0; round < kPumpRounds; ++round) {
        const qsizetype room = kInboxLimit - m_inbox.size();
        if (room <= 0 && !dropData)
            break;
        const qsizetype want =
            dropData ? qsizetype(sizeof raw) : std::min(room, qsizetype(sizeof raw));
        const ssize_t n =
            PosixIo::retryEintr([&] { return ::recv(m_fd, raw, size_t(want), MSG_DONTWAIT); });
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            *err = errno;
            result = Pump::Failed;
            break;
        }
        if (n == 0) {
            m_eof = true;
            result = Pump::Closed;
            break;
        }
        QByteArray data;
        std::vector<TelnetDecoder::Event> events;
        m_decoder.feed(raw, n, data, events);
        for (const TelnetDecoder::Event &e : events)
            handleEvent(e);
        if (dropData) {
            // While an answer is waited for, the newest data is kept and the oldest given up:
            // what the reader gets later is one unbroken stretch, as if it had connected later.
            m_inbox.append(data);
            if (m_inbox.size() > kInboxLimit)
                m_inbox.remove(0, m_inbox.size() - kInboxLimit);
        } else {
            m_inbox.append(data.constData(), std::min(room, data.size()));
        }
        if (n < want)
            break;
    }
    m_inboxSize = m_inbox.size();
    return result;
}

qint64 SocketDevice::readSome(char *buffer, qint64 size, int *err)
{
    if (!isOpen()) {
        *err = EBADF;
        return -1;
    }
    if (!isRfc2217()) {
        const ssize_t n =
            PosixIo::retryEintr([&] { return ::recv(m_fd, buffer, size_t(size), MSG_DONTWAIT); });
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return 0;
            *err = errno;
            return -1;
        }
        if (n == 0)
            m_eof = true;
        return n;
    }
    if (m_inbox.isEmpty()) {
        if (pump(err, false) == Pump::Failed)
            return -1;
        // Replies to the server's commands go out with the next write at the latest.
        int ignored = 0;
        std::lock_guard lock(m_outLock);
        flushOutLocked(&ignored);
    }
    const qsizetype n = std::min(qsizetype(size), m_inbox.size());
    memcpy(buffer, m_inbox.constData(), size_t(n));
    m_inbox.remove(0, n);
    m_inboxSize = m_inbox.size();
    return n;
}

bool SocketDevice::hungUp() const
{
    if (m_eof)
        return true;
    pollfd p{m_fd, POLLIN | POLLRDHUP, 0};
    return PosixIo::retryEintr([&] { return ::poll(&p, 1, 0); }) > 0 &&
           (p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP));
}

SerialDevice::Wait SocketDevice::waitReadable(int wakeFd, int timeoutMs) const
{
    // Data taken in while the window waited for an answer is waiting already.
    if (m_inboxSize.load() > 0)
        return Wait::Ready;
    return PosixIo::pollWith(m_fd, POLLIN, wakeFd, timeoutMs, POLLRDHUP);
}

SerialDevice::Wait SocketDevice::waitWritable(int wakeFd, int timeoutMs) const
{
    return PosixIo::pollWith(m_fd, POLLOUT, wakeFd, timeoutMs, POLLRDHUP);
}

void SocketDevice::flushInput()
{
    if (!isOpen())
        return;
    if (isRfc2217())
        sendComPort(kPurgeData, byteValue(kPurgeReceive));
    // What has reached us already is thrown away; commands among it are still answered.
    char raw[4096];
    for (int round = 0; round < kDiscardRounds; ++round) {
        int err = 0;
        if (isRfc2217()) {
            m_inbox.clear();
            if (pump(&err, true) != Pump::Ok || m_inbox.isEmpty())
                break;
        } else {
            const ssize_t n =
                PosixIo::retryEintr([&] { return ::recv(m_fd, raw, sizeof raw, MSG_DONTWAIT); });
            if (n <= 0) {
                if (n == 0)
                    m_eof = true;
                break;
            }
        }
    }
    m_inbox.clear();
    m_inboxSize = 0;
}

// ---- sending ----------------------------------------------------------------------------------

int SocketDevice::flushOutLocked(int *err)
{
    qsizetype sent = 0;
    while (sent < m_out.size()) {
        const ssize_t n = PosixIo::retryEintr([&] {
            return ::send(m_fd, m_out.constData() + sent, size_t(m_out.size() - sent),
                          MSG_DONTWAIT | MSG_NOSIGNAL);
        });
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            *err = errno;
            m_out.remove(0, sent);
            return -1;
        }
        sent += n;
    }
    m_out.remove(0, sent);
    return int(sent);
}

bool SocketDevice::queueOut(const QByteArray &bytes)
{
    std::lock_guard lock(m_outLock);
    if (m_out.size() + bytes.size() > kOutLimit)
        return false;
    m_out.append(bytes);
    int err = 0;
    return flushOutLocked(&err) >= 0;
}

bool SocketDevice::outputPending() const
{
    std::lock_guard lock(m_outLock);
    return !m_out.isEmpty();
}

qint64 SocketDevice::writeSome(const char *buffer, qint64 size, int *err)
{
    if (!isOpen()) {
        *err = EBADF;
        return -1;
    }
    if (!isRfc2217()) {
        if (size <= 0)
            return 0;
        const ssize_t n = PosixIo::retryEintr(
            [&] { return ::send(m_fd, buffer, size_t(size), MSG_DONTWAIT | MSG_NOSIGNAL); });
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return 0;
            *err = errno;
            return -1;
        }
        return n;
    }
    std::lock_guard lock(m_outLock);
    if (flushOutLocked(err) < 0)
        return -1;
    if (!m_out.isEmpty() || size <= 0)
        return 0;
    const qint64 take = std::min(size, qint64(kWriteStep));
    m_out = Telnet::escape(buffer, take);
    if (flushOutLocked(err) < 0)
        return -1;
    return take;
}

// ---- the rest of the port -------------------------------------------------------------------

void SocketDevice::flushOutput()
{
    if (isOpen() && isRfc2217())
        sendComPort(kPurgeData, byteValue(kPurgeTransmit));
}

std::optional<LineCounters> SocketDevice::driverCounters() const
{
    if (!isRfc2217())
        return std::nullopt;
    return LineCounters{m_frame.load(), m_overrun.load(), m_parity.load(), m_break.load()};
}

int SocketDevice::duplicate() const
{
    return isOpen() ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : -1;
}
