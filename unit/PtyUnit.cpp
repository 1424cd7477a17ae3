#include "unit/PtyUnit.h"

#include "link/Frames.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;

// A key flood must not queue seconds of answers: only the latest few are worth sending.
constexpr std::size_t kMaxQueuedFrames = 4 * 4;

int g_stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char b = 1;
    [[maybe_unused]] const auto n = ::write(g_stopPipe[1], &b, 1);
    errno = saved;
}

Exception sysError(const QString &what)
{
    return Exception(
        QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

PtyUnit::PtyUnit(MonitorUnit &unit, Options options) : m_unit(unit), m_options(std::move(options))
{
}

PtyUnit::~PtyUnit()
{
    removeLink();
    if (m_reportFd >= 0)
        ::close(m_reportFd);
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

void PtyUnit::installStopHandlers()
{
    if (g_stopPipe[0] < 0 && ::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw sysError(QStringLiteral("pipe"));
    struct sigaction sa = {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void PtyUnit::open()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        throw sysError(QStringLiteral("posix_openpt"));
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0)
        throw sysError(QStringLiteral("pseudo-terminal"));
    m_devicePath = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        throw sysError(m_devicePath);
    termios tio = {};
    if (::tcgetattr(m_slave, &tio) != 0)
        throw sysError(m_devicePath);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    tio.c_cflag |= CS8 | PARENB | PARODD | CLOCAL | CREAD;
    tio.c_cflag &= ~CSTOPB;
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        throw sysError(m_devicePath);

    if (!m_options.reportLinePath.isEmpty()) {
        m_reportFd = ::open(QFile::encodeName(m_options.reportLinePath).constData(),
                            O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (m_reportFd < 0)
            throw sysError(m_options.reportLinePath);
    }

    if (!m_options.linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(m_options.linkPath);
        // A link left by a unit that was killed is replaced; any other file is not ours.
        if (QFileInfo(m_options.linkPath).isSymLink())
            ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0)
            throw sysError(m_options.linkPath);
        m_linked = true;
    }
}

void PtyUnit::removeLink()
{
    if (!m_linked)
        return;
    m_linked = false;
    // Only our own link: another unit may have taken the name over meanwhile.
    if (QFileInfo(m_options.linkPath).symLinkTarget() == QFileInfo(m_devicePath).absoluteFilePath())
        ::unlink(QFile::encodeName(m_options.linkPath).constData());
}

QByteArray PtyUnit::lineReport(int fd)
{
    termios t = {};
    // On the master this reads the slave's setting: what the device's user gave it.
    if (::tcgetattr(fd, &t) != 0)
        return {};
    static constexpr std::pair<speed_t, int> kRates[] = {
        {B300, 300},   {B600, 600},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
        {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    int rate = 0;
    for (const auto &[code, value] : kRates) {
        if (::cfgetospeed(&t) == code)
            rate = value;
    }
    const tcflag_t size = t.c_cflag & CSIZE;
    const int csize = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    auto bit = [](bool on) { return on ? '1' : '0'; };
    return QStringLiteral("rate=%1 csize=%2 parenb=%3 parodd=%4 cstopb=%5 crtscts=%6 ixon=%7 "
                          "ixoff=%8\n")
        .arg(rate)
        .arg(csize)
        .arg(QLatin1Char(bit(t.c_cflag & PARENB)))
        .arg(QLatin1Char(bit(t.c_cflag & PARODD)))
        .arg(QLatin1Char(bit(t.c_cflag & CSTOPB)))
        .arg(QLatin1Char(bit(t.c_cflag & CRTSCTS)))
        .arg(QLatin1Char(bit(t.c_iflag & IXON)))
        .arg(QLatin1Char(bit(t.c_iflag & IXOFF)))
        .toLatin1();
}

void PtyUnit::reportLine(Clock::time_point now)
{
    if (m_reportFd < 0 || now < m_nextReport)
        return;
    m_nextReport = now + kReportPeriod;
    const QByteArray report = lineReport(m_master);
    if (report.isEmpty() || report == m_lastReport)
        return;
    m_lastReport = report;
    [[maybe_unused]] const auto n = ::write(m_reportFd, report.constData(), size_t(report.size()));
}

void PtyUnit::queueAnswer()
{
    std::erase_if(m_queue, [](const Queued &q) { return !q.answer; });
    for (const QByteArray &f : m_unit.displayFrames())
        m_queue.push_back({f, true});
    while (m_queue.size() > kMaxQueuedFrames)
        m_queue.pop_front();
}

void PtyUnit::queueRefresh()
{
    if (std::any_of(m_queue.begin(), m_queue.end(), [](const Queued &q) { return q.answer; }))
        return;
    m_queue.clear(); // unsent refresh frames are stale now
    for (const QByteArray &f : m_unit.displayFrames())
        m_queue.push_back({f, false});
}

void PtyUnit::readKeys()
{
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return; // EAGAIN, or nothing to read
        for (const QByteArray &code : m_parser.feed(QByteArrayView(buf, n))) {
            if (m_unit.pressKey(code))
                queueAnswer();
        }
    }
}

void PtyUnit::writeFrames(Clock::time_point now)
{
    while (!m_waitWritable && (m_options.fast || now >= m_nextWrite)) {
        if (m_offset >= m_current.size()) {
            if (m_queue.empty())
                return;
            m_current = m_queue.front().frame;
            m_queue.pop_front();
            m_offset = 0;
        }
        const ssize_t n =
            ::write(m_master, m_current.constData() + m_offset, m_current.size() - m_offset);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return;
            if (m_options.fast) {
                m_waitWritable = true; // a fast line waits for a slow reader
                return;
            }
            // A paced line never outruns a reader, so a full queue means nobody reads: drop
            // what waits there, or the next client would first get seconds of old display.
            ::tcflush(m_slave, TCIFLUSH);
            m_offset = m_current.size();
            m_nextWrite = now + Frames::kDisplayFrameSize * kByteTime;
            return;
        }
        m_offset += n;
        if (!m_options.fast) {
            m_nextWrite = now + n * kByteTime;
            return;
        }
    }
}

int PtyUnit::runReplay()
{
    using namespace std::chrono;
    const LineRecording &rec = *m_options.replay;
    const QByteArray &bytes = rec.received();
    const auto start = Clock::now();
    std::size_t next = 0;
    for (;;) {
        const auto now = Clock::now();
        // Everything due goes out; what a reader does not take is dropped, as on a paced line.
        while (next < rec.chunks().size() &&
               start + microseconds(rec.chunks()[next].timeUs - rec.startUs()) <= now) {
            const qsizetype from = rec.chunkBegin(next);
            const qsizetype size = rec.chunks()[next].end - from;
            if (::write(m_master, bytes.constData() + from, std::size_t(size)) < size)
                ::tcflush(m_slave, TCIFLUSH);
            ++next;
        }
        nanoseconds wait = hours(1);
        if (next < rec.chunks().size())
            wait = std::max(nanoseconds(0),
                            duration_cast<nanoseconds>(
                                start + microseconds(rec.chunks()[next].timeUs - rec.startUs()) -
                                Clock::now()));
        const timespec ts{static_cast<time_t>(wait.count() / 1'000'000'000),
                          static_cast<long>(wait.count() % 1'000'000'000)};
        pollfd fds[2] = {{m_master, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        const int ready = ::ppoll(fds, g_stopPipe[0] >= 0 ? 2 : 1, &ts, nullptr);
        if (ready < 0 && errno != EINTR)
            throw sysError(QStringLiteral("poll"));
        if (ready <= 0)
            continue;
        if (fds[1].revents & POLLIN)
            return 0;
        if (fds[0].revents & POLLIN) {
            char buf[512];
            while (::read(m_master, buf, sizeof buf) > 0) {
            }
        }
    }
}

int PtyUnit::run()
{
    if (m_options.replay)
        return runReplay();
    using namespace std::chrono;
    const auto start = Clock::now();
    auto lastTick = start;
    auto nextRefresh = start;
    m_nextWrite = start;

    for (;;) {
        const auto now = Clock::now();
        const auto elapsed = duration_cast<milliseconds>(now - lastTick);
        m_unit.advance(elapsed);
        lastTick += elapsed;
        reportLine(now);

        if (streaming()) {
            // Keep the line full: new display lines as soon as the last ones went out, until
            // the reader stops taking them. Bounded, so keys are still read in between.
            for (int round = 0; round < kStreamRounds && !m_waitWritable; ++round) {
                if (m_offset >= m_current.size() && m_queue.empty())
                    queueRefresh();
                writeFrames(now);
            }
        } else {
            if (now >= nextRefresh) {
                queueRefresh();
                nextRefresh += m_options.refreshPeriod;
                if (nextRefresh < now)
                    nextRefresh = now + m_options.refreshPeriod;
            }
            writeFrames(now);
        }

        auto wake = streaming() && !m_waitWritable ? now : nextRefresh;
        const bool pending = m_offset < m_current.size() || !m_queue.empty();
        if (pending && !m_waitWritable && !m_options.fast)
            wake = std::min(wake, m_nextWrite);
        if (m_reportFd >= 0)
            wake = std::min(wake, m_nextReport);
        const auto wait = std::max(nanoseconds(0), duration_cast<nanoseconds>(wake - Clock::now()));
        const timespec ts{static_cast<time_t>(wait.count() / 1'000'000'000),
                          static_cast<long>(wait.count() % 1'000'000'000)};

        pollfd fds[2] = {{m_master, static_cast<short>(POLLIN | (m_waitWritable ? POLLOUT : 0)), 0},
                         {g_stopPipe[0], POLLIN, 0}};
        const int ready = ::ppoll(fds, g_stopPipe[0] >= 0 ? 2 : 1, &ts, nullptr);
        if (ready < 0 && errno != EINTR)
            throw sysError(QStringLiteral("poll"));
        if (ready <= 0)
            continue;
        if (fds[1].revents & POLLIN)
            return 0;
        if (fds[0].revents & POLLOUT)
            m_waitWritable = false;
        if (fds[0].revents & POLLIN)
            readKeys();
    }
}
