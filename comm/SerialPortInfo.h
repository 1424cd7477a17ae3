#pragma once

#include <QString>

// What stands behind a serial device path, for a user choosing a port: the device node it
// leads to, the adapter's product, maker and serial number for a USB adapter, and its stable
// /dev/serial/by-id name.
//
// The facts come from sysfs (the tty's device and the USB device above it) and from udev's
// by-id links, read directly rather than through libudev: the attributes are the kernel's own
// (what libudev reads for them too), the by-id links are udev's output, and both work where no
// udev daemon runs (containers) and with a stand-in tree for tests.
//
// Thread contract: a value type; the reading functions keep no state and run on any thread.
class SerialPortInfo
{
public:
    // Where the facts are read: sysfs and udev's by-id folder (a stand-in tree for tests).
    struct Roots {
        QString sys;
        QString byId;
        static Roots system()
        {
            return {QStringLiteral("/sys"), QStringLiteral("/dev/serial/by-id")};
        }
    };

    SerialPortInfo() = default;
    explicit SerialPortInfo(const QString &path, const Roots &roots = Roots::system());

    const QString &path() const { return m_path; }
    // The device node the path leads to (a by-id link resolved); empty when it is not there.
    const QString &node() const { return m_node; }
    bool exists() const { return !m_node.isEmpty(); }
    const QString &byIdPath() const { return m_byId; }
    bool isUsb() const { return m_usb; }
    const QString &product() const { return m_product; }
    const QString &manufacturer() const { return m_manufacturer; }
    const QString &serialNumber() const { return m_serial; }

    // One short line: "/dev/ttyUSB0  FT232R USB UART  S/N A50285BI". A path that leads nowhere
    // is told as such.
    QString description() const;

    static bool isByIdPath(const QString &path, const Roots &roots = Roots::system());
    // The by-id link that leads to node, empty when there is none.
    static QString byIdPathFor(const QString &node, const Roots &roots = Roots::system());

private:
    QString m_path;
    bool m_pathIsById = false;
    QString m_node;
    QString m_byId;
    bool m_usb = false;
    QString m_product;
    QString m_manufacturer;
    QString m_serial;
};
