#include "comm/SerialDevice_p.h"

#include "comm/NetworkAddress.h"
#include "comm/SocketDevice_p.h"
#include "comm/TtyDevice_p.h"

#include <QCoreApplication>
#include <QHash>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace
{

std::mutex g_seamLock;
QHash<QString, LineCounters> g_seamEvents;

} // namespace

std::unique_ptr<SerialDevice> SerialDevice::create(const QString &address)
{
    if (NetworkAddress::looksLikeNetwork(address))
        return std::make_unique<SocketDevice>();
    return std::make_unique<TtyDevice>();
}

std::optional<LineCounters> SerialDevice::counters() const
{
    std::optional<LineCounters> result = driverCounters();
    if (auto sim = LineEventSeam::events(m_address)) {
        LineCounters c = result.value_or(LineCounters{});
        c.frame += sim->frame;
        c.overrun += sim->overrun;
        c.parity += sim->parity;
        c.brk += sim->brk;
        result = c;
    }
    return result;
}

QString lineSettingText(LineField field, const LineSettings &s)
{
    switch (field) {
    case LineField::BitRate:
        return QCoreApplication::translate("SerialDevice", "通信速度 %1 bit/s").arg(s.bitRate);
    case LineField::CharSize:
        return QCoreApplication::translate("SerialDevice", "データビット数 %1")
            .arg(s.charSize & 0xFF);
    case LineField::Parity:
        return s.parity == cpbOdd ? QCoreApplication::translate("SerialDevice", "奇数パリティ")
               : s.parity == cpbEven ? QCoreApplication::translate("SerialDevice", "偶数パリティ")
                                     : QCoreApplication::translate("SerialDevice", "パリティなし");
    case LineField::StopBits:
        return s.stopBits == csb1p5
                   ? QCoreApplication::translate("SerialDevice", "ストップビット数 1.5")
               : s.stopBits == csb2
                   ? QCoreApplication::translate("SerialDevice", "ストップビット数 2")
                   : QCoreApplication::translate("SerialDevice", "ストップビット数 1");
    case LineField::FlowCtrl:
        return s.flowCtrl == cfcRtsCts
                   ? QCoreApplication::translate("SerialDevice", "RTS/CTS フロー制御")
               : s.flowCtrl == cfcXonXoff
                   ? QCoreApplication::translate("SerialDevice", "XON/XOFF フロー制御")
                   : QCoreApplication::translate("SerialDevice", "フロー制御なし");
    case LineField::XonChar:
        return QCoreApplication::translate("SerialDevice", "Xon 文字 0x%1")
            .arg(s.xonChar, 2, 16, QLatin1Char('0'));
    case LineField::XoffChar:
        return QCoreApplication::translate("SerialDevice", "Xoff 文字 0x%1")
            .arg(s.xoffChar, 2, 16, QLatin1Char('0'));
    }
    return {};
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

std::optional<LineCounters> LineEventSeam::events(const QString &devicePath)
{
    std::lock_guard lock(g_seamLock);
    auto it = g_seamEvents.constFind(devicePath);
    if (it == g_seamEvents.constEnd())
        return std::nullopt;
    return *it;
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
