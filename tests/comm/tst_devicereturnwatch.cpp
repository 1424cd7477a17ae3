#include "comm/DeviceReturnWatch.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The watch for a lost device's return, on stand-in paths in a temporary folder: regular files
// play the device nodes, links play udev's by-id names.
class tst_DeviceReturnWatch : public QObject
{
    Q_OBJECT

    static void make(const QString &path)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // Points a link at a new target in one step, as udev and ln -sf do.
    static void repoint(const QString &link, const QString &target)
    {
        const QString temp = link + ".new";
        QVERIFY(QFile::link(target, temp));
        QVERIFY(::rename(QFile::encodeName(temp).constData(),
                         QFile::encodeName(link).constData()) == 0);
    }

private slots:
    void toldWhenThePathLeadsToADeviceAgain_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("a link pointed at a new node") << "repointed link";
        QTest::newRow("the by-id folder comes back with the link") << "folder returns";
        QTest::newRow("the node itself made anew") << "new node";
    }
    void toldWhenThePathLeadsToADeviceAgain()
    {
        QFETCH(QString, situation);
        QTemporaryDir dir;
        QString address;
        QString lost;
        if (situation == "repointed link") {
            address = dir.filePath("serial/by-id/usb-unit");
            make(dir.filePath("dev/pts/3"));
            QVERIFY(QDir().mkpath(dir.filePath("serial/by-id")));
            QVERIFY(QFile::link(dir.filePath("dev/pts/3"), address));
            lost = DeviceReturnWatch::identityOf(address);
            QVERIFY(QFile::remove(dir.filePath("dev/pts/3")));
        } else if (situation == "folder returns") {
            address = dir.filePath("serial/by-id/usb-unit");
        } else {
            address = dir.filePath("dev/ttyUSB0");
            make(address);
            lost = DeviceReturnWatch::identityOf(address);
            QVERIFY(QFile::remove(address));
        }
        DeviceReturnWatch *watch = DeviceReturnWatch::create(address, lost, this);
        QSignalSpy back(watch, &DeviceReturnWatch::mayBeBack);
        // Nothing has come back yet.
        QVERIFY(!back.wait(200));

        if (situation == "repointed link") {
            make(dir.filePath("dev/pts/4"));
            repoint(address, dir.filePath("dev/pts/4"));
        } else if (situation == "folder returns") {
            make(dir.filePath("dev/ttyUSB0"));
            QVERIFY(QDir().mkpath(dir.filePath("serial/by-id")));
            QVERIFY(QFile::link(dir.filePath("dev/ttyUSB0"), address));
        } else {
            make(address);
        }
        QVERIFY(back.wait(2000));
        delete watch;
    }

    void aNodeStillInPlaceIsNoReturn()
    {
        QTemporaryDir dir;
        const QString node = dir.filePath("ttyUSB0");
        make(node);
        DeviceReturnWatch *stale =
            DeviceReturnWatch::create(node, DeviceReturnWatch::identityOf(node), this);
        QSignalSpy staleBack(stale, &DeviceReturnWatch::mayBeBack);
        // A device that came back before its watch was made is seen at once.
        DeviceReturnWatch *early = DeviceReturnWatch::create(node, QStringLiteral("gone"), this);
        QSignalSpy earlyBack(early, &DeviceReturnWatch::mayBeBack);
        QVERIFY(earlyBack.wait(2000));
        QCOMPARE(staleBack.count(), 0);
        delete stale;
        delete early;
    }
};

QTEST_GUILESS_MAIN(tst_DeviceReturnWatch)
#include "tst_devicereturnwatch.moc"
