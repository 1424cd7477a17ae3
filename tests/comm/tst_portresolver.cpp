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

    void overridesComeBeforeEntries()
    {
        QTemporaryDir dir;
        const QString iniPath = dir.filePath("qxwatch.ini");
        touch(iniPath, "[PORTS]\r\nCOM1=/dev/ttyS0\r\nCOM2=/dev/ttyS1\r\n");
        // The run's override takes COM1 and its device is not numbered again.
        const PortMap map =
            PortResolver::portMap(iniPath, {"/dev/ttyUSB0", "/dev/ttyUSB1"}, {{1, "/dev/ttyUSB1"}});
        QCOMPARE(map, (PortMap{{1, "/dev/ttyUSB1"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyUSB0"}}));
        auto resolve =
            PortResolver::resolverFor(iniPath, [] { return QStringList(); }, {{5, "/tmp/x"}});
        QCOMPARE(resolve(5), QString("/tmp/x"));
        QCOMPARE(resolve(1), QString("/dev/ttyS0"));
    }

    void parsesPortOverrides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("a port and its device") << "COM3=/dev/ttyUSB0" << 3 << "/dev/ttyUSB0";
        QTest::newRow("two digits, any case") << "com16=/tmp/a=b" << 16 << "/tmp/a=b";
        QTest::newRow("port 0 is no port") << "COM0=/dev/ttyS0" << 0 << "";
        QTest::newRow("port 17 is no port") << "COM17=/dev/ttyS0" << 0 << "";
        QTest::newRow("no device") << "COM1=" << 0 << "";
        QTest::newRow("no port") << "/dev/ttyUSB0" << 0 << "";
    }
    void parsesPortOverrides()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(QString, device);
        const auto parsed = PortResolver::parseOverride(text);
        QCOMPARE(parsed.first, port);
        QCOMPARE(parsed.second, device);
    }

    void leavesOutTheConsoleAndGettyLines_data()
    {
        QTest::addColumn<QByteArray>("console");
        QTest::addColumn<QByteArrayList>("processes"); // "comm tty_nr" each
        QTest::addColumn<QStringList>("expected");
        const QStringList all{"ttyS0", "ttyS1", "ttyUSB0", "ttyACM0"};
        QTest::newRow("nothing on any line") << QByteArray() << QByteArrayList() << all;
        QTest::newRow("the kernel's console on a UART")
            << QByteArray("tty0 ttyS0\n") << QByteArrayList()
            << QStringList{"ttyS1", "ttyUSB0", "ttyACM0"};
        QTest::newRow("the kernel's console on a USB adapter")
            << QByteArray("ttyUSB0\n") << QByteArrayList()
            << QStringList{"ttyS0", "ttyS1", "ttyACM0"};
        // tty_nr: major in bits 8..15, minor in bits 0..7.
        QTest::newRow("a getty waits on a UART and a shell runs on an adapter")
            << QByteArray()
            << QByteArrayList{"agetty " + QByteArray::number(4 << 8 | 65),
                              "bash " + QByteArray::number(188 << 8 | 0)}
            << QStringList{"ttyS0", "ttyUSB0", "ttyACM0"};
    }
    void leavesOutTheConsoleAndGettyLines()
    {
        QFETCH(QByteArray, console);
        QFETCH(QByteArrayList, processes);
        QFETCH(QStringList, expected);
        QTemporaryDir root;
        const QString dev = root.filePath("dev"), sys = root.filePath("sys"),
                      proc = root.filePath("proc");
        const QList<std::pair<QString, QByteArray>> ttys = {
            {"ttyS0", "4:64"}, {"ttyS1", "4:65"}, {"ttyUSB0", "188:0"}, {"ttyACM0", "166:0"}};
        QVERIFY(QDir().mkpath(dev));
        for (const auto &[name, number] : ttys) {
            touch(dev + "/" + name);
            QVERIFY(QDir(sys).mkpath(name + "/device"));
            touch(sys + "/" + name + "/dev", number + "\n");
            if (name.startsWith("ttyS"))
                touch(sys + "/" + name + "/type", "4\n");
        }
        if (!console.isEmpty()) {
            QVERIFY(QDir(sys).mkpath("console"));
            touch(sys + "/console/active", console);
        }
        int pid = 100;
        for (const QByteArray &p : processes) {
            const QList<QByteArray> f = p.split(' ');
            const QString dir = proc + "/" + QString::number(++pid);
            QVERIFY(QDir().mkpath(dir));
            touch(dir + "/comm", f.at(0) + "\n");
            // The command may hold blanks and brackets; the fields count from the last ')'.
            touch(dir + "/stat", QByteArray::number(pid) + " (" + f.at(0) + " (x)) S 1 " +
                                     QByteArray::number(pid) + " " + QByteArray::number(pid) + " " +
                                     f.at(1) + " 0 0\n");
        }
        QStringList want;
        for (const QString &n : expected)
            want << dev + "/" + n;
        QCOMPARE(PortResolver::findSerialDevices(dev, sys, proc), want);
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
