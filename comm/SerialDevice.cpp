#include "comm/SerialDevice_p.h"

// Linux's own termios2 (struct and flags) rather than glibc's <termios.h>: it carries any bit rate
// (BOTHER) through one ioctl. The two headers cannot share a translation unit, so this file
// includes only the kernel's.
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <QHash>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{

// EINTR is retried here and only here.
template <typename F> auto retryEintr(F call)
{
    decltype(call()) r;
    do {
        r = call();
    } while (r < 0 && errno == EINTR);
    return r;
}

std::mutex g_seamLock;
QHash<QString, LineCounters> g_seamEvents;

std::optional<LineCounters> seamEvents(const QString &path)
{
    std::lock_guard lock(g_seamLock);
    auto it = g_seamEvents.constFind(path);
    if (it == g_seamEvents.constEnd())
        return std::nullopt;
    return *it;
}

SerialDevice::Wait waitFor(int fd, short events, int wakeFd, int timeoutMs)
{
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    const int n = retryEintr([&] { return ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs); });
    if (n < 0)
        return SerialDevice::Wait::Failed;
    if (wakeFd >= 0 && (fds[1].revents & POLLIN))
        return SerialDevice::Wait::Woken;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        return SerialDevice::Wait::HungUp;
    if (fds[0].revents & events)
        return SerialDevice::Wait::Ready;
    return SerialDevice::Wait::TimedOut;
}

} // namespace

DeviceError classifyDeviceErrno(int err)
{
    switch (err) {
    case 0:
        return DeviceError::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return DeviceError::NoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS:
        return DeviceError::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return DeviceError::Busy;
    case EIO:
    case EPIPE:
    case ESHUTDOWN:
        return DeviceError::Gone;
    case ENOTTY:
        return DeviceError::NotSerial;
    default:
        return DeviceError::Other;
    }
}

SerialDevice::~SerialDevice()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SerialDevice::open(const QString &path, int *err)
{
    const QByteArray native = path.toLocal8Bit();
    const int fd = retryEintr(
        [&] { return ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        *err = errno;
        return false;
    }
    auto fail = [&](int e) {
        ::close(fd);
        *err = e;
        return false;
    };
    // flock keeps out other programs that take the same advisory lock (and other instances of
    // this one); TIOCEXCL keeps out every later open by a non-root process. Root passes TIOCEXCL,
    // which is why the flock is needed as well.
    if (retryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) < 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    termios2 probe{};
    if (::ioctl(fd, TCGETS2, &probe) < 0)
        return fail(errno);
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    m_released = false;
    m_path = path;
    return true;
}

void SerialDevice::release()
{
    if (m_fd < 0 || m_released.exchange(true))
        return;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup3(null, m_fd, O_CLOEXEC);
        ::close(null);
    }
}

bool SerialDevice::apply(const LineSettings &s, int *err)
{
    if (!isOpen()) {
        *err = EBADF;
        return false;
    }
    const int charSize = s.charSize & 0xFF;
    if (s.bitRate < 1 || charSize < 5 || charSize > 8) {
        *err = EINVAL;
        return false;
    }
    termios2 t{};
    if (::ioctl(m_fd, TCGETS2, &t) < 0) {
        *err = errno;
        return false;
    }
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
    if (retryEintr([&] { return ::ioctl(m_fd, TCSETS2, &t); }) < 0) {
        *err = errno;
        return false;
    }
    return true;
}

bool SerialDevice::setRts(bool on)
{
    int bits = TIOCM_RTS;
    return isOpen() && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialDevice::setDtr(bool on)
{
    int bits = TIOCM_DTR;
    return isOpen() && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

void SerialDevice::flushInput()
{
    if (isOpen())
        ::ioctl(m_fd, TCFLSH, TCIFLUSH);
}

void SerialDevice::flushOutput()
{
    if (isOpen())
        ::ioctl(m_fd, TCFLSH, TCOFLUSH);
}

qint64 SerialDevice::readSome(char *buffer, qint64 size, int *err)
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

qint64 SerialDevice::writeSome(const char *buffer, qint64 size, int *err)
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

SerialDevice::Wait SerialDevice::waitReadable(int wakeFd, int timeoutMs) const
{
    return waitFor(m_fd, POLLIN, wakeFd, timeoutMs);
}

SerialDevice::Wait SerialDevice::waitWritable(int wakeFd, int timeoutMs) const
{
    return waitFor(m_fd, POLLOUT, wakeFd, timeoutMs);
}

bool SerialDevice::hungUp() const
{
    pollfd p{m_fd, POLLIN, 0};
    return retryEintr([&] { return ::poll(&p, 1, 0); }) > 0 &&
           (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

std::optional<LineCounters> SerialDevice::counters() const
{
    std::optional<LineCounters> result;
    serial_icounter_struct ic{};
    // ENOTTY / EINVAL: a driver that keeps no counters (ptys, some USB adapters).
    if (m_fd >= 0 && !m_released && ::ioctl(m_fd, TIOCGICOUNT, &ic) == 0)
        result = LineCounters{quint64(ic.frame), quint64(ic.overrun), quint64(ic.parity),
                              quint64(ic.brk)};
    if (auto sim = seamEvents(m_path)) {
        LineCounters c = result.value_or(LineCounters{});
        c.frame += sim->frame;
        c.overrun += sim->overrun;
        c.parity += sim->parity;
        c.brk += sim->brk;
        result = c;
    }
    return result;
}

int SerialDevice::duplicate() const
{
    return isOpen() ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : -1;
}

void LineEventSeam::add(const QString &devicePath, const LineCounters &events)
{
    std::lock_guard lock(g_seamLock);
    LineCounters &c = g_seamEvents[devicePath];
    c.frame += events.frame;
    c.overrun += events.overrun;
    c.parity += events.parity;
    c.brk += events.brk;
}

void LineEventSeam::forget(const QString &devicePath)
{
    std::lock_guard lock(g_seamLock);
    g_seamEvents.remove(devicePath);
}

int makeWakeFd()
{
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void signalWakeFd(int fd)
{
    if (fd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
}

void clearWakeFd(int fd)
{
    if (fd >= 0) {
        quint64 value;
        [[maybe_unused]] ssize_t n = ::read(fd, &value, sizeof value);
    }
}

void closeWakeFd(int fd)
{
    if (fd >= 0)
        ::close(fd);
}
