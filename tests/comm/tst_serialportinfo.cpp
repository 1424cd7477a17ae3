#include "comm/SerialPortInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What the Port menu tells about a device, read from a stand-in sysfs and by-id tree laid out
// as the kernel and udev lay out theirs.
class tst_SerialPortInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_root;
    SerialPortInfo::Roots m_roots;

    void write(const QString &path, const QByteArray &content = {})
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    void link(const QString &target, const QString &path)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(QFile::link(target, path));
    }
    // A tty in class/tty whose device is `device` below sys/devices.
    void tty(const QString &name, const QString &device)
    {
        QVERIFY(QDir().mkpath(m_root + "/sys/devices/" + device));
        link(m_root + "/sys/devices/" + device, m_root + "/sys/class/tty/" + name + "/device");
        write(m_root + "/dev/" + name);
    }

private slots:
    void initTestCase()
    {
        m_root = QFileInfo(m_dir.path()).canonicalFilePath();
        m_roots = {m_root + "/sys", m_root + "/dev/serial/by-id"};
        // An FTDI adapter: usb-serial port below the interface below the USB device.
        const QString ftdi = "pci0000:00/usb1/1-1";
        tty("ttyUSB0", ftdi + "/1-1:1.0/ttyUSB0");
        write(m_root + "/sys/devices/" + ftdi + "/idVendor", "0403\n");
        write(m_root + "/sys/devices/" + ftdi + "/product", "FT232R USB UART\n");
        write(m_root + "/sys/devices/" + ftdi + "/manufacturer", "FTDI\n");
        write(m_root + "/sys/devices/" + ftdi + "/serial", "A50285BI\n");
        link("../../ttyUSB0",
             m_root + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        // A CDC ACM board without a serial number: the tty's device is the interface.
        const QString pico = "pci0000:00/usb1/1-2";
        tty("ttyACM0", pico + "/1-2:1.0");
        write(m_root + "/sys/devices/" + pico + "/idVendor", "2e8a\n");
        write(m_root + "/sys/devices/" + pico + "/product", "Pico\n");
        // A UART on the main board.
        tty("ttyS0", "platform/serial8250/tty/ttyS0");
        link(m_root + "/dev/ttyS0", m_root + "/home/unit.tty");
    }

    void describesWhatStandsBehindAPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("byId");
        QTest::addColumn<QString>("description");
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
        QTest::newRow("a USB adapter by its node")
            << "/dev/ttyUSB0"
            << "/dev/ttyUSB0" << byId << "/dev/ttyUSB0  FT232R USB UART  S/N A50285BI";
        QTest::newRow("a USB adapter by its by-id name")
            << byId << "/dev/ttyUSB0" << byId << "/dev/ttyUSB0  FT232R USB UART  S/N A50285BI";
        QTest::newRow("a board without a serial number") << "/dev/ttyACM0"
                                                         << "/dev/ttyACM0"
                                                         << ""
                                                         << "/dev/ttyACM0  Pico";
        QTest::newRow("a UART") << "/dev/ttyS0"
                                << "/dev/ttyS0"
                                << ""
                                << "/dev/ttyS0";
        QTest::newRow("a link of the user's own") << "/home/unit.tty"
                                                  << "/dev/ttyS0"
                                                  << ""
                                                  << "/home/unit.tty → /dev/ttyS0";
        QTest::newRow("a path that leads nowhere") << "/dev/ttyUSB7"
                                                   << ""
                                                   << ""
                                                   << "/dev/ttyUSB7 (見つかりません)";
        QTest::newRow("the by-id name of an adapter not plugged in")
            << "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0"
            << ""
            << ""
            << "usb-Prolific_PL2303-if00-port0 (見つかりません)";
    }
    void describesWhatStandsBehindAPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, node);
        QFETCH(QString, byId);
        QFETCH(QString, description);
        auto rooted = [this](const QString &p) {
            return p.isEmpty() ? p
                               : QString(p)
                                     .replace("/dev/", m_root + "/dev/")
                                     .replace("/home/", m_root + "/home/");
        };
        const SerialPortInfo info(rooted(path), m_roots);
        QCOMPARE(info.node(), rooted(node));
        QCOMPARE(info.exists(), !node.isEmpty());
        QCOMPARE(info.byIdPath(), rooted(byId));
        QCOMPARE(info.description(), rooted(description));
    }
};

QTEST_GUILESS_MAIN(tst_SerialPortInfo)
#include "tst_serialportinfo.moc"
