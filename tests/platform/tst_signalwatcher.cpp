#include "platform/SignalWatcher.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace
{

// The child of aSecondSignalIsNotWaitedFor: one signal is a notice like any other, a second
// one that comes before the notice was served ends the process at once.
int raiseAsChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SignalWatcher watcher({SIGTERM});
    int seen = 0;
    QObject::connect(&watcher, &SignalWatcher::received, &app, [&] { ++seen; });
    ::raise(SIGTERM);
    if (qstrcmp(argv[1], "--raise-twice") == 0)
        ::raise(SIGTERM);
    QCoreApplication::processEvents();
    return seen == 1 ? 0 : 3;
}

} // namespace

class tst_SignalWatcher : public QObject
{
    Q_OBJECT
private slots:
    void turnsASignalIntoANotice_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void turnsASignalIntoANotice()
    {
        QFETCH(int, signalNumber);
        SignalWatcher watcher({SIGTERM, SIGHUP, SIGINT});
        QSignalSpy spy(&watcher, &SignalWatcher::received);
        ::raise(signalNumber);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toInt(), signalNumber);
    }

    void givesTheSignalsBackWhenDestroyed()
    {
        struct sigaction before = {}, after = {};
        ::sigaction(SIGHUP, nullptr, &before);
        {
            SignalWatcher watcher({SIGHUP});
            struct sigaction during = {};
            ::sigaction(SIGHUP, nullptr, &during);
            QVERIFY(during.sa_handler != before.sa_handler);
        }
        ::sigaction(SIGHUP, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }

    void aSecondSignalIsNotWaitedFor_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("killed");
        QTest::newRow("one signal is served") << "--raise-once" << false;
        QTest::newRow("a second one ends the process") << "--raise-twice" << true;
    }
    void aSecondSignalIsNotWaitedFor()
    {
        QFETCH(QString, mode);
        QFETCH(bool, killed);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {mode});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus() == QProcess::CrashExit, killed);
        if (!killed)
            QCOMPARE(child.exitCode(), 0);
    }
};

int main(int argc, char **argv)
{
    if (argc == 2 && QByteArray(argv[1]).startsWith("--raise-"))
        return raiseAsChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_SignalWatcher test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_signalwatcher.moc"
