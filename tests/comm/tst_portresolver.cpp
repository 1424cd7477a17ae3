#include "comm/PortResolver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using PortMap = QMap<int, QString>;

class tst_PortResolver : public QObject
{
    Q_OBJECT
private:
    static void touch(const QString &path, const QByteArray &content = {})
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

private slots:
    void numbersPorts_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<PortMap>("expected");

        QTest::newRow("one adapter and no settings is COM1")
            << QByteArray() << QStringList{"/dev/ttyUSB0"} << PortMap{{1, "/dev/ttyUSB0"}};
        QTest::newRow("entries first, found devices fill the lowest free numbers")
            << QByteArray("[PORTS]\r\nCOM1=/dev/ttyS0\r\nCOM3=/dev/ttyUSB9\r\n")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyACM1"}
            << PortMap{{1, "/dev/ttyS0"},
                       {2, "/dev/ttyUSB0"},
                       {3, "/dev/ttyUSB9"},
                       {4, "/dev/ttyACM0"},
                       {5, "/dev/ttyACM1"}};
        QTest::newRow("a device named by an entry gets no second number")
            << QByteArray("[ports]\r\ncom3 = /dev/ttyUSB0\r\n")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"}
            << PortMap{{1, "/dev/ttyUSB1"}, {3, "/dev/ttyUSB0"}};
        QTest::newRow("other sections and empty entries are not ports")
            << QByteArray("[COM]\r\nCOM1=/dev/ttyX\r\n[PORTS]\r\nCOM2=\r\n")
            << QStringList{"/dev/ttyUSB0"} << PortMap{{1, "/dev/ttyUSB0"}};
        QTest::newRow("no entry and no device leaves every number empty")
            << QByteArray() << QStringList{} << PortMap{};

        QStringList many;
        PortMap first16;
        for (int i = 0; i < 20; ++i) {
            many << QStringLiteral("/dev/ttyUSB%1").arg(i);
            if (i < 16)
                first16.insert(i + 1, many.last());
        }
        QTest::newRow("only sixteen numbers") << QByteArray() << many << first16;
    }

    void numbersPorts()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, found);
        QFETCH(PortMap, expected);
        QTemporaryDir dir;
        const QString iniPath = dir.filePath("qxwatch.ini");
        if (!ini.isEmpty())
            touch(iniPath, ini);
        QCOMPARE(PortResolver::portMap(iniPath, found), expected);
        for (int port = 1; port <= 16; ++port)
            QCOMPARE(PortResolver::deviceFor(port, iniPath, found), expected.value(port));
    }

    void resolverWorksTheMappingOutAtEveryCall()
    {
        QTemporaryDir dir;
        QStringList devices;
        auto resolve = PortResolver::resolverFor(dir.filePath("none.ini"), [&] { return devices; });
        QCOMPARE(resolve(1), QString());
        devices << "/dev/ttyACM0";
        QCOMPARE(resolve(1), QString("/dev/ttyACM0"));
    }

    void findsRealUartsThenUsbThenAcm()
    {
        QTemporaryDir root;
        QDir(root.path()).mkpath("dev");
        const QString dev = root.filePath("dev");
        const QString sys = root.filePath("sys");
        for (const char *n : {"ttyS0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB1", "ttyUSB0", "ttyACM0",
                              "tty0", "ttyprintk", "ttySX"})
            touch(dev + "/" + n);
        // ttyS0 and ttyS10: UARTs; ttyS1: placeholder (type 0); ttyS2: no device at all.
        for (const char *n : {"ttyS0", "ttyS1", "ttyS10"})
            QVERIFY(QDir(sys).mkpath(QString(n) + "/device"));
        touch(sys + "/ttyS0/type", "4\n");
        touch(sys + "/ttyS1/type", "0\n");
        touch(sys + "/ttyS10/type", "4\n");
        QDir(sys).mkpath("ttyS2");

        QCOMPARE(PortResolver::findSerialDevices(dev, sys),
                 (QStringList{dev + "/ttyS0", dev + "/ttyS10", dev + "/ttyUSB0", dev + "/ttyUSB1",
                              dev + "/ttyACM0"}));
    }
};

QTEST_GUILESS_MAIN(tst_PortResolver)
#include "tst_portresolver.moc"
