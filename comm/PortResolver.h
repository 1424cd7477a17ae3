#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Which device stands behind COM1 ... COM16, by the rule that Windows compatibility layers use on
// Linux: entries "COM1" ... "COM16" in the settings file's section "PORTS" (COM3=/dev/ttyUSB0)
// take their numbers first; the serial devices found on the machine (real UARTs among
// /dev/ttyS*, then /dev/ttyUSB*, then /dev/ttyACM*, each in number order) fill the lowest numbers
// still free. A device that an entry already names is not given a second number. The PORTS
// section is only read, never written.
//
// Thread contract: plain functions, no shared state.
class PortResolver
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;
    using DeviceLister = std::function<QStringList()>;

    // The serial devices of this machine in the order they take free numbers. A /dev/ttySn
    // counts only when sysfs shows a UART behind it (the kernel makes placeholder ttyS nodes
    // whose "type" is 0, PORT_UNKNOWN).
    static QStringList
    findSerialDevices(const QString &devDir = QStringLiteral("/dev"),
                      const QString &sysTtyDir = QStringLiteral("/sys/class/tty"));

    // Port number -> device, for every number that has one.
    static QMap<int, QString> portMap(const QString &iniPath, const QStringList &foundDevices);

    // The device of portNo, or empty when nothing stands behind it.
    static QString deviceFor(int portNo, const QString &iniPath, const QStringList &foundDevices);

    // A resolver for TCustomCommX::setPortResolver that works the mapping out again at every
    // call; lister defaults to findSerialDevices().
    static std::function<QString(int)> resolverFor(const QString &iniPath,
                                                   DeviceLister lister = {});
};
