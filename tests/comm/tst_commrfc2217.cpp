// The serial component on an RFC 2217 unit: line settings asked for and answered (or refused,
// or never answered), data escaped both ways, and a server that floods.

#include "tests/comm/NetworkPeers.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace CommTest;
using namespace NetTest;

class tst_CommRfc2217 : public QObject
{
    Q_OBJECT

private slots:
    void rfc2217SetsTheUnitsLineAndCarriesDataEscaped()
    {
        Rfc2217Peer peer;
        FakeServer server([&](int fd, const std::atomic<bool> &stop) { peer.serve(fd, stop); });
        TCommX comm;
        unitSettings(comm, server.address());
        QByteArray *got = collect(comm, this);
        QSignalSpy errors(&comm, &TCustomCommX::OnError);
        comm.Open();
        QVERIFY(comm.isOpen());

        // 9600 bit/s, 8 data bits, odd parity, 1 stop bit, no flow control, DTR and RTS on,
        // notices of overrun, parity, framing and break; purges of both ways at open.
        const QList<QByteArray> expected = {
            cmd(10, QByteArray(1, char(0x1E))),
            cmd(11, QByteArray(1, 0)),
            cmd(12, QByteArray(1, 2)),
            cmd(12, QByteArray(1, 1)),
            cmd(1, QByteArray("\x00\x00\x25\x80", 4)),
            cmd(2, QByteArray(1, 8)),
            cmd(3, QByteArray(1, 2)),
            cmd(4, QByteArray(1, 1)),
            cmd(5, QByteArray(1, 1)),
            cmd(5, QByteArray(1, 8)),
            cmd(5, QByteArray(1, 11)),
        };
        QTRY_COMPARE_WITH_TIMEOUT(peer.commands().mid(0, expected.size()), expected, kWait);

        // 0xFF is doubled on the wire both ways and arrives once.
        QVERIFY(comm.SendString(QByteArray("\x01\xFF\x02", 3)));
        QTRY_COMPARE_WITH_TIMEOUT(peer.data(), QByteArray("\x01\xFF\x02", 3), kWait);
        QVERIFY(peer.raw().contains(QByteArray("\x01\xFF\xFF\x02", 4)));
        peer.send(QByteArray("a\xFF\xFF", 3) +
                  Telnet::subnegotiation(kComPort, QByteArray("\x6A\x04", 2)) + "bc");
        QTRY_COMPARE_WITH_TIMEOUT(*got,
                                  QByteArray("a\xFF"
                                             "bc",
                                             4),
                                  kWait);
        // NOTIFY-LINESTATE parity error, then overrun with framing: the error bits 4, then 2|8.
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, kWait);
        QCOMPARE(errors.at(0).at(1).toInt(), 4);
        peer.send(Telnet::subnegotiation(kComPort, QByteArray("\x6A\x0A", 2)) + "d");
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 2, kWait);
        QCOMPARE(errors.at(1).at(1).toInt(), 2 | 8);

        // Purges become PURGE-DATA: the server's receive buffer, then its transmit buffer.
        const int before = int(peer.commands().size());
        comm.PurgeReceive();
        comm.PurgeTrans();
        QTRY_VERIFY_WITH_TIMEOUT(peer.commands().size() >= before + 2, kWait);
        QCOMPARE(peer.commands().mid(before, 2),
                 (QList<QByteArray>{cmd(12, QByteArray(1, 1)), cmd(12, QByteArray(1, 2))}));

        // Close drops DTR and RTS.
        comm.Close();
        QTRY_VERIFY_WITH_TIMEOUT(peer.commands().contains(cmd(5, QByteArray(1, 9))) &&
                                     peer.commands().contains(cmd(5, QByteArray(1, 12))),
                                 kWait);
    }

    void refusedOrUnansweredSettingsRaiseTheSettersMessage_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("rate kept at 19200")
            << 1 << QByteArray("\x00\x00\x4B\x00", 4)
            << QStringLiteral("通信速度の設定でエラーが発生しました") << true;
        QTest::newRow("7 data bits")
            << 2 << QByteArray(1, 7) << QStringLiteral("通信ビット数の設定でエラーが発生しました")
            << true;
        QTest::newRow("no parity")
            << 3 << QByteArray(1, 1)
            << QStringLiteral("通信パリティチェックの設定でエラーが発生しました") << true;
        QTest::newRow("2 stop bits")
            << 4 << QByteArray(1, 2)
            << QStringLiteral("通信ストップビット数の設定でエラーが発生しました") << true;
        QTest::newRow("hardware flow")
            << 5 << QByteArray(1, 3) << QStringLiteral("通信フロー制御の設定で失敗しました")
            << true;
        QTest::newRow("parity never answered")
            << 3 << QByteArray()
            << QStringLiteral("通信パリティチェックの設定でエラーが発生しました") << false;
    }
    void refusedOrUnansweredSettingsRaiseTheSettersMessage()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        QFETCH(bool, dropped);
        Rfc2217Peer peer;
        peer.answer = [&](unsigned char c, const QByteArray &v) {
            // SET-CONTROL carries the modem lines too; only the flow control value is refused.
            return c == code && (c != 5 || v == QByteArray(1, 1)) ? answer : v;
        };
        FakeServer server([&](int fd, const std::atomic<bool> &stop) { peer.serve(fd, stop); });
        TCommX comm;
        unitSettings(comm, server.address());
        QElapsedTimer clock;
        clock.start();
        const ECommError e = openFailure(comm);
        QVERIFY2(e.message() == message, qPrintable(e.message() + e.detail()));
        QVERIFY(clock.elapsed() < 4500);
        QVERIFY(!comm.isOpen());
        QCOMPARE(comm.lastOpenFailure().dropped, dropped);
        if (dropped)
            QVERIFY2(e.detail().contains(QStringLiteral("のサーバーは")), qPrintable(e.detail()));
    }

    void floodingServerKeepsTheWindowGoingAndItsBuffersBounded()
    {
        // Accepts the option, answers every setting, then floods data laced with every kind
        // of command, option requests for every option over and over among them.
        Rfc2217Peer peer;
        std::atomic<qint64> flooded{0};
        FakeServer server([&](int fd, const std::atomic<bool> &stop) {
            std::thread negotiate([&] { peer.serve(fd, stop); });
            QByteArray chunk;
            QRandomGenerator rng(17);
            for (int i = 0; i < 8192; ++i)
                chunk.append(char(rng.bounded(256)));
            for (int o = 0; o < 256; ++o)
                chunk += Telnet::command(Telnet::kDo, uchar(o)) +
                         Telnet::command(Telnet::kWill, uchar(o));
            QThread::msleep(300); // the settings are answered first
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
            while (!stop) {
                const ssize_t n = ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
                if (n > 0)
                    flooded += n;
                else if (errno != EAGAIN)
                    break;
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 5);
            }
            negotiate.join();
        });
        TCommX comm;
        unitSettings(comm, server.address());
        QByteArray *got = collect(comm, this);
        comm.Open();
        QVERIFY(comm.isOpen());
        // The window's longest stall while the flood goes on: the gap between two ticks.
        int ticks = 0;
        qint64 longestGap = 0;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            ++ticks;
            longestGap = std::max(longestGap, sinceTick.restart());
        });
        tick.start(20);
        QElapsedTimer clock;
        clock.start();
        qsizetype most = 0;
        while (clock.elapsed() < 1500) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            most = std::max(most, qsizetype(comm.ReceiveCount()));
            got->clear();
        }
        QVERIFY2(flooded > 1024 * 1024, qPrintable(QString::number(flooded)));
        QVERIFY2(
            ticks >= 5 && longestGap < 1000,
            qPrintable(QStringLiteral("%1 ticks, longest gap %2 ms").arg(ticks).arg(longestGap)));
        QVERIFY(most <= 64 * 1024);
        // Every option was refused once, never again, however often it was asked for.
        QVERIFY(peer.optionEvents(Telnet::kWont) <= 256);
        QVERIFY(peer.optionEvents(Telnet::kDont) <= 256);
        // Keys still get through.
        const int before = int(peer.data().size());
        QVERIFY(comm.SendString("*0123"));
        QTRY_VERIFY_WITH_TIMEOUT(peer.data().mid(before).contains("*0123"), kWait);
        comm.Close();
        QVERIFY(!comm.isOpen());
    }
};

QTEST_MAIN(tst_CommRfc2217)
#include "tst_commrfc2217.moc"
