#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Which device stands behind COM1 ... COM16, by the rule that Windows compatibility layers use on
// Linux: overrides given for one run (the command line's --port COM3=/dev/ttyUSB0) and entries
// "COM1" ... "COM16" in the settings file's section "PORTS" take their numbers first, an
// override before an entry; the serial devices found on the machine (real UARTs among
// /dev/ttyS*, then /dev/ttyUSB*, then /dev/ttyACM*, each in number order) fill the lowest numbers
// still free. A device that is already named is not given a second number. The kernel's console
// and a line a getty waits on are never numbered automatically (an entry may still name them).
// The PORTS section is only read, never written.
//
// Thread contract: plain functions, no shared state.
class PortResolver
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;
    using DeviceLister = std::function<QStringList()>;
    using Overrides = QMap<int, QString>;

    // The serial devices of this machine in the order they take free numbers. A /dev/ttySn
    // counts only when sysfs shows a UART behind it (the kernel makes placeholder ttyS nodes
    // whose "type" is 0, PORT_UNKNOWN). The devices sysfs names as the active console
    // (console/active) and the controlling terminals of getty processes are left out.
    static QStringList
    findSerialDevices(const QString &devDir = QStringLiteral("/dev"),
                      const QString &sysTtyDir = QStringLiteral("/sys/class/tty"),
                      const QString &procDir = QStringLiteral("/proc"));

    // Port number -> device, for every number that has one.
    static QMap<int, QString> portMap(const QString &iniPath, const QStringList &foundDevices,
                                      const Overrides &overrides = {});

    // The device of portNo, or empty when nothing stands behind it.
    static QString deviceFor(int portNo, const QString &iniPath, const QStringList &foundDevices,
                             const Overrides &overrides = {});

    // A resolver for TCustomCommX::setPortResolver that works the mapping out again at every
    // call; lister defaults to findSerialDevices().
    static std::function<QString(int)> resolverFor(const QString &iniPath, DeviceLister lister = {},
                                                   Overrides overrides = {});

    // "COM3=/dev/ttyUSB0" (as the command line gives it) -> {3, "/dev/ttyUSB0"}; a port outside
    // 1..16, a missing device or any other form gives port 0.
    static std::pair<int, QString> parseOverride(const QString &text);
};
