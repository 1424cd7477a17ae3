// The serial component on a network unit, connecting and carrying data, against servers made
// to misbehave: refusals, black holes, servers that never negotiate or end the stream.

#include "tests/comm/NetworkPeers.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <netinet/tcp.h>

using namespace CommTest;
using namespace NetTest;

class tst_CommNetwork : public QObject
{
    Q_OBJECT

private slots:
    void connectFailuresAreToldApartAndBounded()
    {
        using Reason = CommFailure::Reason;
        {
            // Nobody listens: refused at once.
            quint16 port = 0;
            const int fd = listenOn(1, &port);
            ::close(fd);
            TCommX comm;
            unitSettings(comm, QStringLiteral("tcp://127.0.0.1:%1").arg(port));
            QElapsedTimer clock;
            clock.start();
            const ECommError e = openFailure(comm);
            QVERIFY(clock.elapsed() < 3000);
            QCOMPARE(e.message(), kCannotOpen);
            QCOMPARE(comm.lastOpenFailure().reason, Reason::Refused);
            QVERIFY2(e.detail().startsWith(QStringLiteral("COM1: tcp://127.0.0.1:")),
                     qPrintable(e.detail()));
            QVERIFY(!comm.isOpen());
            QCOMPARE(comm.Handle(), 0xFFFFFFFFu);
        }
        {
            TCommX comm;
            unitSettings(comm, QStringLiteral("rfc2217://no-such-host.invalid:2217"));
            QCOMPARE(openFailure(comm).message(), kCannotOpen);
            QCOMPARE(comm.lastOpenFailure().reason, Reason::HostNotFound);
            QVERIFY(
                comm.lastOpenFailure().text().contains(QStringLiteral("ホストが見つかりません")));
        }
        {
            TCommX comm;
            unitSettings(comm, QStringLiteral("tcp://127.0.0.1:0"));
            QCOMPARE(openFailure(comm).message(), kCannotOpen);
            QCOMPARE(comm.lastOpenFailure().reason, Reason::NoSuchDevice);
        }
        {
            // A listener whose queue is full never completes a connect: timed out after the
            // connect time, and the window went on meanwhile.
            quint16 port = 0;
            const int fd = listenOn(0, &port);
            const int fill1 = connectTo(port);
            const int fill2 = connectTo(port);
            TCommX comm;
            unitSettings(comm, QStringLiteral("tcp://127.0.0.1:%1").arg(port));
            int ticks = 0;
            QTimer tick;
            connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
            tick.start(50);
            QSignalSpy connecting(&comm, &TCustomCommX::OnConnecting);
            QElapsedTimer clock;
            clock.start();
            const ECommError e = openFailure(comm);
            const qint64 took = clock.elapsed();
            ::close(fill1);
            ::close(fill2);
            ::close(fd);
            QCOMPARE(e.message(), kCannotOpen);
            QCOMPARE(comm.lastOpenFailure().reason, Reason::TimedOut);
            QVERIFY2(took >= 2900 && took < 4500, qPrintable(QString::number(took)));
            QVERIFY2(ticks >= 30, qPrintable(QString::number(ticks)));
            QCOMPARE(connecting.size(), 1);
            QVERIFY(!comm.isConnecting());
        }
    }

    void disconnectWhileConnectingGivesTheConnectUp()
    {
        quint16 port = 0;
        const int fd = listenOn(0, &port);
        const int fill1 = connectTo(port);
        const int fill2 = connectTo(port);
        TCommX comm;
        unitSettings(comm, QStringLiteral("rfc2217://127.0.0.1:%1").arg(port));
        QTimer::singleShot(200, &comm, [&] {
            QVERIFY(comm.isConnecting());
            // A second connect while one is under way is refused, not started.
            QCOMPARE(openFailure(comm).message(), kAlreadyOpen);
            comm.Close();
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(openFailure(comm).message(), kCannotOpen);
        QVERIFY(clock.elapsed() < 1500);
        QCOMPARE(comm.lastOpenFailure().reason, CommFailure::Reason::Cancelled);
        QVERIFY(!comm.isOpen());
        QVERIFY(!comm.isConnecting());
        ::close(fill1);
        ::close(fill2);
        ::close(fd);

        // The component is not left half-way: the next open runs and fails on its own terms.
        QCOMPARE(openFailure(comm).message(), kCannotOpen);
        QCOMPARE(comm.lastOpenFailure().reason, CommFailure::Reason::Refused);

        // Connected, but the server does not answer the settings: a disconnect gives up too.
        Rfc2217Peer peer;
        peer.answer = [](unsigned char, const QByteArray &) { return QByteArray(); };
        FakeServer server([&](int fd, const std::atomic<bool> &stop) { peer.serve(fd, stop); });
        useDevice(comm, server.address());
        QTimer::singleShot(300, &comm, [&] { comm.Close(); });
        clock.restart();
        QCOMPARE(openFailure(comm).message(), kCannotOpen);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(comm.lastOpenFailure().reason, CommFailure::Reason::Cancelled);
        QVERIFY(!comm.isOpen());
    }

    void serversThatDoNotNegotiateFailInBoundedTime_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("silent") << QByteArray() << 4500;
        QTest::newRow("refuses COM-PORT-OPTION")
            << Telnet::command(Telnet::kDont, kComPort) << 1500;
        QTest::newRow("raw bytes, no telnet") << QByteArray("*0123456789abc\r\n") << 4500;
        // Malformed: a subnegotiation that never ends, commands cut off, stray SE.
        const QByteArray malformed = QByteArray("\xFF\xFA\x2C\x65\x00\x00\xFF\xFF\xFF\xF0"
                                                "\xFF\xFA\x2C",
                                                13) +
                                     QByteArray(500, 'x') + QByteArray("\xFF", 1);
        QTest::newRow("malformed") << malformed << 4500;
    }
    void serversThatDoNotNegotiateFailInBoundedTime()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(int, maxMs);
        FakeServer server([&](int fd, const std::atomic<bool> &stop) {
            sendAll(fd, greeting);
            while (!stop) {
                char buf[512];
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
                    return;
            }
        });
        TCommX comm;
        unitSettings(comm, server.address());
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
        tick.start(50);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(openFailure(comm).message(), kCannotOpen);
        const qint64 took = clock.elapsed();
        QVERIFY2(took < maxMs, qPrintable(QString::number(took)));
        QCOMPARE(comm.lastOpenFailure().reason, CommFailure::Reason::Protocol);
        QVERIFY(ticks >= took / 50 / 2);
    }

    void rawModeCarriesBytesAsTheyAreAndNoticesTheEnd()
    {
        std::mutex lock;
        QByteArray received;
        std::atomic<bool> sendNow{false};
        std::atomic<bool> closeNow{false};
        FakeServer server([&](int fd, const std::atomic<bool> &stop) {
            bool sent = false;
            while (!stop && !closeNow) {
                if (sendNow && !sent) {
                    sent = true;
                    sendAll(fd, QByteArray("\xFF\xFB\x2C"
                                           "x",
                                           4));
                }
                char buf[512];
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0)
                    continue;
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    return;
                std::lock_guard l(lock);
                received += QByteArray(buf, n);
            }
        });
        TCommX comm;
        unitSettings(comm, server.address("tcp"));
        QByteArray *got = collect(comm, this);
        QSignalSpy lost(&comm, &TCustomCommX::OnDeviceLost);
        comm.Open();
        QVERIFY(comm.isOpen());
        sendNow = true;
        // What looks like a Telnet command is data here.
        QTRY_COMPARE_WITH_TIMEOUT(*got,
                                  QByteArray("\xFF\xFB\x2C"
                                             "x",
                                             4),
                                  kWait);
        QVERIFY(comm.SendString(QByteArray("\xFF\x00\xFF", 3)));
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                std::lock_guard l(lock);
                return received;
            }(),
            QByteArray("\xFF\x00\xFF", 3), kWait);

        // Small writes leave at once; a dead network is noticed within 10 s.
        const int fd = int(comm.Handle());
        int value = 0;
        socklen_t len = sizeof value;
        QVERIFY(::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, &len) == 0 && value == 1);
        QVERIFY(::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &value, &len) == 0 && value == 1);
        int idle = 0, interval = 0, count = 0;
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &len);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &len);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, &len);
        QVERIFY(idle + interval * count <= 10);
        QVERIFY(::getsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &value, &len) == 0 && value > 0 &&
                value <= 10000);

        // The server ends the connection: the unit is lost, once.
        closeNow = true;
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, kWait);
        QVERIFY(!comm.isOpen());
        QTest::qWait(200);
        QCOMPARE(lost.size(), 1);
    }
};

QTEST_MAIN(tst_CommNetwork)
#include "tst_commnetwork.moc"
