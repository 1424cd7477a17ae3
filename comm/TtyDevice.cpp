#include "comm/TtyDevice_p.h"

// Linux's own termios2 (struct and flags) rather than glibc's <termios.h>: it carries any bit rate
// (BOTHER) through one ioctl. The two headers cannot share a translation unit, so this file
// includes only the kernel's.
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include "comm/PortHolders_p.h"
#include "comm/PosixIo_p.h"
#include "comm/SerialPortInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using PosixIo::retryEintr;

// A driver may set the nearest rate its clock allows; a UART tolerates this much.
constexpr int kRateTolerancePercent = 2;

std::mutex g_framingLock;
QSet<QString> g_framingChecked;

// The bit rate a termios2 carries, also when the driver answers with a Bnnn code.
int rateOf(const termios2 &t)
{
    if ((t.c_cflag & CBAUD) == BOTHER || t.c_ospeed != 0)
        return int(t.c_ospeed);
    static constexpr std::pair<tcflag_t, int> kCodes[] = {
        {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
        {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto &[code, rate] : kCodes) {
        if ((t.c_cflag & CBAUD) == code)
            return rate;
    }
    return 0;
}

// Whether the driver kept `field` of what was asked, judged on what it reads back. framing:
// character size and parity count (not on a pty, which has none).
bool kept(LineField field, const termios2 &asked, const termios2 &got, bool framing)
{
    switch (field) {
    case LineField::BitRate: {
        const qint64 want = rateOf(asked);
        return std::llabs(rateOf(got) - want) * 100 <= want * kRateTolerancePercent;
    }
    case LineField::CharSize:
        return !framing || (got.c_cflag & CSIZE) == (asked.c_cflag & CSIZE);
    case LineField::Parity: {
        if (!framing)
            return true;
        const tcflag_t mask = (asked.c_cflag & PARENB) ? (PARENB | PARODD | CMSPAR) : PARENB;
        return (got.c_cflag & mask) == (asked.c_cflag & mask);
    }
    case LineField::StopBits:
        return (got.c_cflag & CSTOPB) == (asked.c_cflag & CSTOPB);
    case LineField::FlowCtrl:
        return (got.c_cflag & CRTSCTS) == (asked.c_cflag & CRTSCTS) &&
               (got.c_iflag & (IXON | IXOFF)) == (asked.c_iflag & (IXON | IXOFF));
    case LineField::XonChar:
        return got.c_cc[VSTART] == asked.c_cc[VSTART];
    case LineField::XoffChar:
        return got.c_cc[VSTOP] == asked.c_cc[VSTOP];
    }
    return true;
}

} // namespace

TtyDevice::~TtyDevice()
{
    release();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TtyDevice::refuse(CommFailure *failure, CommFailure::Reason reason, int err, int fd)
{
    if (fd >= 0)
        ::close(fd);
    m_lock.release();
    failure->reason = reason;
    failure->error = err;
    return false;
}

bool TtyDevice::open(const QString &path, const DeviceOpenOptions &options, CommFailure *failure)
{
    failure->device = path;
    using Reason = CommFailure::Reason;
    using Kind = CommFailure::Holder::Kind;
    const QByteArray native = QFile::encodeName(path);
    const QString node = QFileInfo(path).canonicalFilePath();

    // The lock file first, as every program of the convention does: whoever holds it is not
    // disturbed even by our open.
    if (!node.isEmpty() && m_lock.acquire(options.lockFolder, node) == PortLockFile::Result::Busy) {
        failure->holder = {Kind::LockFile, m_lock.holderPid(),
                           PortHolders::commandOf(m_lock.holderPid()), m_lock.path()};
        return refuse(failure, Reason::Busy, EBUSY, -1);
    }

    const int fd = retryEintr(
        [&] { return ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        const int err = errno;
        if (err == EBUSY) {
            // Exclusive mode keeps out every opener but root.
            struct stat st {
            };
            const QList<CommFailure::Holder> holders = ::stat(native.constData(), &st) == 0
                                                           ? PortHolders::openers(st.st_rdev)
                                                           : QList<CommFailure::Holder>();
            failure->holder = holders.value(0);
            failure->holder.kind = Kind::Exclusive;
        }
        return refuse(failure, CommFailure::reasonFor(err), err, -1);
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        return refuse(failure, CommFailure::reasonFor(errno), errno, fd);
    if (retryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) < 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        if (err == EBUSY)
            failure->holder = PortHolders::flockHolder(st.st_dev, st.st_ino);
        return refuse(failure, CommFailure::reasonFor(err), err, fd);
    }
    termios2 probe{};
    if (::ioctl(fd, TCGETS2, &probe) < 0)
        return refuse(failure, CommFailure::reasonFor(errno), errno, fd);

    const QList<CommFailure::Holder> others = PortHolders::openers(st.st_rdev);
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) {
        // Root passes exclusive mode, so the flag alone must keep us out. Only where root sees
        // nobody else with the tty open has the flag outlived its holder (a pty keeps it while
        // its master lives): then it is nobody's.
        if (!others.isEmpty() || ::geteuid() != 0) {
            failure->holder = others.value(0);
            failure->holder.kind = Kind::Exclusive;
            return refuse(failure, Reason::Busy, EBUSY, fd);
        }
    }
    if (!others.isEmpty()) {
        // Two readers of one tty split its bytes between them.
        failure->holder = others.first();
        return refuse(failure, Reason::Busy, EBUSY, fd);
    }
    // Keeps out every later open by a non-root process.
    ::ioctl(fd, TIOCEXCL);

    m_fd = fd;
    m_rdev = st.st_rdev;
    m_released = false;
    setPath(path);
    m_stableAddress = path;
    if (!SerialPortInfo::isByIdPath(path)) {
        const QString byId = SerialPortInfo::byIdPathFor(node);
        if (!byId.isEmpty())
            m_stableAddress = byId;
    }
    return true;
}

void TtyDevice::release()
{
    if (m_fd < 0 || m_released.exchange(true))
        return;
    // Exclusive mode outlives the descriptor on some ttys (a pty while its master lives): give
    // it back for the next program. The flock goes with the descriptor, which a window-thread
    // wait may still share.
    ::ioctl(m_fd, TIOCNXCL);
    ::flock(m_fd, LOCK_UN);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup3(null, m_fd, O_CLOEXEC);
        ::close(null);
    }
    m_lock.release();
}

bool TtyDevice::apply(const LineSettings &s, LineField field, CommFailure *failure)
{
    auto fail = [&](int err, bool dropped) {
        return settingFailed(failure, path(), field, s, err, dropped);
    };
    if (!isOpen())
        return fail(EBADF, false);
    if (const int err = settingOutOfRange(s))
        return fail(err, false);
    const int charSize = s.charSize & 0xFF;
    termios2 t{};
    if (::ioctl(m_fd, TCGETS2, &t) < 0)
        return fail(errno, false);
    // Raw line: no echo, no line editing, no signals, no output processing, no CR/LF mapping.
    // Parity errors and framing errors are marked in-band (PARMRK: 0xFF 0x00 c, and 0xFF doubled)
    // rather than replaced by 0x00, so the received byte itself can be given back; the component
    // takes the marks out again.
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | IMAXBEL | IUCLC);
    t.c_iflag |= PARMRK | INPCK;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    t.c_cflag &=
        ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CREAD | CLOCAL | BOTHER;
    t.c_ospeed = t.c_ispeed = static_cast<speed_t>(s.bitRate);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[charSize - 5];
    if (s.parity == cpbOdd)
        t.c_cflag |= PARENB | PARODD;
    else if (s.parity == cpbEven)
        t.c_cflag |= PARENB;
    // Linux has no one-and-a-half stop bits: a UART sends 1.5 for 5-bit characters when told
    // two, which is also what that setting meant on the original line.
    if (s.stopBits == csb1p5 || s.stopBits == csb2)
        t.c_cflag |= CSTOPB;

    switch (s.flowCtrl) {
    case cfcRtsCts: // the handshake is the driver's
        t.c_cflag |= CRTSCTS;
        break;
    case cfcXonXoff:
        // Both ways. The driver's n_tty keeps its own fixed thresholds for sending XOFF and
        // XON; the XonLim/XoffLim of the line setting have no Linux equivalent.
        t.c_iflag |= IXON | IXOFF;
        break;
    default:
        // DTR/DSR handshake has no Linux equivalent: the line runs without handshake, DTR held
        // on. The half-duplex modes are driven by the transmit thread through RTS.
        break;
    }
    t.c_cc[VSTART] = s.xonChar;
    t.c_cc[VSTOP] = s.xoffChar;
    if (retryEintr([&] { return ::ioctl(m_fd, TCSETS2, &t); }) < 0)
        return fail(errno, false);

    // A driver takes what it cannot do without a word (an adapter without odd parity runs
    // 8N1): only reading the setting back tells.
    termios2 got{};
    if (::ioctl(m_fd, TCGETS2, &got) < 0)
        return fail(errno, false);
    const bool framing = PortHolders::ptyIndex(m_rdev) < 0 || TtyDriverSeam::framingChecked(path());
    if (!kept(field, t, got, framing))
        return fail(0, true);
    return true;
}

bool TtyDevice::setRts(bool on)
{
    int bits = TIOCM_RTS;
    return isOpen() && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool TtyDevice::setDtr(bool on)
{
    int bits = TIOCM_DTR;
    return isOpen() && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

void TtyDevice::flushInput()
{
    if (isOpen())
        ::ioctl(m_fd, TCFLSH, TCIFLUSH);
}

void TtyDevice::flushOutput()
{
    if (isOpen())
        ::ioctl(m_fd, TCFLSH, TCOFLUSH);
}

qint64 TtyDevice::readSome(char *buffer, qint64 size, int *err)
{
    const ssize_t n = retryEintr([&] { return ::read(m_fd, buffer, size_t(size)); });
    if (n < 0) {
        if (errno == EAGAIN)
            return 0;
        *err = errno;
        return -1;
    }
    return n;
}

qint64 TtyDevice::writeSome(const char *buffer, qint64 size, int *err)
{
    const ssize_t n = retryEintr([&] { return ::write(m_fd, buffer, size_t(size)); });
    if (n < 0) {
        if (errno == EAGAIN)
            return 0;
        *err = errno;
        return -1;
    }
    return n;
}

SerialDevice::Wait TtyDevice::waitReadable(int wakeFd, int timeoutMs) const
{
    return PosixIo::pollWith(m_fd, POLLIN, wakeFd, timeoutMs);
}

SerialDevice::Wait TtyDevice::waitWritable(int wakeFd, int timeoutMs) const
{
    return PosixIo::pollWith(m_fd, POLLOUT, wakeFd, timeoutMs);
}

bool TtyDevice::hungUp() const
{
    pollfd p{m_fd, POLLIN, 0};
    return retryEintr([&] { return ::poll(&p, 1, 0); }) > 0 &&
           (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

std::optional<LineCounters> TtyDevice::driverCounters() const
{
    serial_icounter_struct ic{};
    // ENOTTY / EINVAL: a driver that keeps no counters (ptys, some USB adapters).
    if (m_fd >= 0 && !m_released && ::ioctl(m_fd, TIOCGICOUNT, &ic) == 0)
        return LineCounters{quint64(ic.frame), quint64(ic.overrun), quint64(ic.parity),
                            quint64(ic.brk)};
    return std::nullopt;
}

int TtyDevice::duplicate() const
{
    return isOpen() ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : -1;
}

void TtyDriverSeam::checkFraming(const QString &devicePath)
{
    std::lock_guard lock(g_framingLock);
    g_framingChecked.insert(devicePath);
}

void TtyDriverSeam::forget(const QString &devicePath)
{
    std::lock_guard lock(g_framingLock);
    g_framingChecked.remove(devicePath);
}

bool TtyDriverSeam::framingChecked(const QString &devicePath)
{
    std::lock_guard lock(g_framingLock);
    return g_framingChecked.contains(devicePath);
}
