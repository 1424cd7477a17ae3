#include "link/KeyCodes.h"
#include "link/UnitLink.h"
#include "link/UnitWait.h"
#include "tests/support/FakePort.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(UnitWait::Result)

// The link to the unit: keys out through whatever port it holds, and the press-and-wait that the
// lamp clicks and the ID scan are made of.
class tst_UnitLink : public QObject
{
    Q_OBJECT
private slots:
    void keysGoOutOnlyThroughAnOpenPort_data()
    {
        QTest::addColumn<bool>("hasPort");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("open port: the key frame") << true << true << QByteArray("*242c");
        QTest::newRow("closed port: nothing") << true << false << QByteArray();
        QTest::newRow("no port: nothing, no failure") << false << false << QByteArray();
    }
    void keysGoOutOnlyThroughAnOpenPort()
    {
        QFETCH(bool, hasPort);
        QFETCH(bool, open);
        QFETCH(QByteArray, sent);
        FakePort port;
        port.open = open;
        UnitLink link;
        if (hasPort)
            link.setPort(&port);
        QCOMPARE(link.isPortOpen(), open);
        link.SendKey(KeyCodes::Left);
        QCOMPARE(port.sent, sent);
    }

    // A second frame source (a recording played back, say) takes the live port's place.
    void followsThePortItIsGiven()
    {
        FakePort live;
        FakePort other;
        UnitLink link;
        link.setPort(&live);
        link.SendKey(KeyCodes::In);
        link.setPort(&other);
        link.SendKey(KeyCodes::Out);
        QCOMPARE(live.sent, QByteArray("*012b"));
        QCOMPARE(other.sent, QByteArray("*0228"));
        other.open = false;
        QVERIFY(!link.isPortOpen());
    }

    void waitEndsWhenTheDisplayAnswers()
    {
        FakePort port;
        UnitLink link;
        link.setPort(&port);
        QObject guard;
        bool answered = false;
        // The answer comes as a window event, the way display frames do.
        port.onSend = [&](const QByteArray &) {
            QTimer::singleShot(0, &guard, [&] { answered = true; });
        };
        const auto result = UnitWait::pressAndWait(
            link, KeyCodes::Ent, [&] { return answered; }, 5s, &guard);
        QCOMPARE(result, UnitWait::Result::Shown);
        QCOMPARE(port.sent, QByteArray("*2820"));
    }

    // The key goes out even when the display already shows what is waited for: the caller asked
    // for a press.
    void keyIsPressedEvenWhenAlreadyShown()
    {
        FakePort port;
        UnitLink link;
        link.setPort(&port);
        QObject guard;
        const auto result = UnitWait::pressAndWait(
            link, KeyCodes::Id, [] { return true; }, 5s, &guard);
        QCOMPARE(result, UnitWait::Result::Shown);
        QCOMPARE(port.sendCount, 1);
    }

    void waitStopsWithoutAnAnswer_data()
    {
        QTest::addColumn<QString>("port"); // "none", "closed", "closing" or "silent"
        QTest::addColumn<UnitWait::Result>("result");
        QTest::addColumn<int>("sends");
        QTest::newRow("no port") << "none" << UnitWait::Result::PortClosed << 0;
        QTest::newRow("closed port") << "closed" << UnitWait::Result::PortClosed << 0;
        QTest::newRow("port closes during the wait")
            << "closing" << UnitWait::Result::PortClosed << 1;
        QTest::newRow("unit stays silent") << "silent" << UnitWait::Result::TimedOut << 1;
    }
    void waitStopsWithoutAnAnswer()
    {
        QFETCH(QString, port);
        QFETCH(UnitWait::Result, result);
        QFETCH(int, sends);
        FakePort fake;
        fake.open = port != u"closed";
        UnitLink link;
        if (port != u"none")
            link.setPort(&fake);
        QObject guard;
        // Closing the port sends no display frame: the wait has to notice on its own.
        if (port == u"closing")
            QTimer::singleShot(20, &guard, [&] { fake.open = false; });
        const std::chrono::milliseconds timeout = port == u"closing" ? 10s : 100ms;

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(UnitWait::pressAndWait(
                     link, KeyCodes::Left, [] { return false; }, timeout, &guard),
                 result);
        QCOMPARE(fake.sendCount, sends);
        if (result == UnitWait::Result::TimedOut)
            QVERIFY(clock.elapsed() >= 100);
        else
            QVERIFY(clock.elapsed() < 10000);
    }

    // What the caller owns goes away during the wait (its window closed): the wait ends without
    // asking the condition again, which may touch what is gone.
    void waitEndsWhenTheGuardGoes()
    {
        FakePort port;
        UnitLink link;
        link.setPort(&port);
        QObject context;
        auto *guard = new QObject;
        QTimer::singleShot(10, &context, [guard] { delete guard; });
        const QPointer<QObject> watch(guard);
        int askedAfterDeletion = 0;
        const auto result = UnitWait::pressAndWait(
            link, KeyCodes::Left,
            [&] {
                askedAfterDeletion += watch ? 0 : 1;
                return false;
            },
            10s, guard);
        QCOMPARE(result, UnitWait::Result::Gone);
        QCOMPARE(askedAfterDeletion, 0);
    }
};

QTEST_GUILESS_MAIN(tst_UnitLink)
#include "tst_unitlink.moc"
