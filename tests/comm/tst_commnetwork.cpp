// The serial component on a network unit, against servers made to misbehave: refusals,
// black holes, servers that refuse settings, never answer, flood or send garbage.
#include "comm/CommX.h"
#include "comm/SocketDevice_p.h"
#include "comm/TelnetCodec_p.h"
#include "tests/comm/CommTestSupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace CommTest;
using Event = TelnetDecoder::Event;

namespace
{

constexpr int kWait = 5000;
constexpr unsigned char kComPort = Telnet::kComPortOption;

int listenOn(int backlog, quint16 *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    return fd;
}

void sendAll(int fd, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

// A server on 127.0.0.1 for one client, on a thread of its own. The script gets the client's
// socket and runs until it returns or stop is set; the client is then closed.
class FakeServer
{
public:
    using Script = std::function<void(int fd, const std::atomic<bool> &stop)>;
    explicit FakeServer(Script script) : m_script(std::move(script))
    {
        m_listen = listenOn(4, &m_port);
        m_thread = std::thread([this] { run(); });
    }
    ~FakeServer() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
    }
    quint16 port() const { return m_port; }
    QString address(const char *scheme = "rfc2217") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(m_port);
    }

private:
    void run()
    {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            m_script(fd, m_stop);
            ::close(fd);
            return;
        }
    }

    Script m_script;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// An RFC 2217 server as a device server speaks it: accepts COM-PORT-OPTION and answers every
// setting with the value asked for, unless answer() says otherwise. It records what it gets
// and sends what the test hands it.
class Rfc2217Peer
{
public:
    // code, value asked -> value answered; empty result: no answer at all.
    std::function<QByteArray(unsigned char, const QByteArray &)> answer =
        [](unsigned char, const QByteArray &v) { return v; };
    bool acceptComPort = true;

    void serve(int fd, const std::atomic<bool> &stop)
    {
        using namespace Telnet;
        sendAll(fd, acceptComPort ? command(kDo, kComPort) : command(kDont, kComPort));
        sendAll(fd, command(kWill, kBinary) + command(kDo, kBinary));
        TelnetDecoder decoder;
        while (!stop) {
            QByteArray out;
            {
                std::lock_guard l(m_lock);
                out.swap(m_toSend);
            }
            if (!out.isEmpty())
                sendAll(fd, out);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            QByteArray data;
            std::vector<Event> events;
            decoder.feed(buf, n, data, events);
            std::lock_guard l(m_lock);
            m_data += data;
            m_raw += QByteArray(buf, n);
            for (const Event &e : events) {
                m_events.push_back(e);
                if (e.kind == Event::Kind::Subnegotiation && e.option == kComPort &&
                    !e.payload.isEmpty()) {
                    const auto code = static_cast<unsigned char>(e.payload.at(0));
                    const QByteArray value = answer(code, e.payload.mid(1));
                    if (!value.isEmpty())
                        m_toSend += subnegotiation(kComPort, char(code + 100) + value);
                }
            }
        }
    }
    void send(const QByteArray &bytes)
    {
        std::lock_guard l(m_lock);
        m_toSend += bytes;
    }
    QByteArray data() const
    {
        std::lock_guard l(m_lock);
        return m_data;
    }
    QByteArray raw() const
    {
        std::lock_guard l(m_lock);
        return m_raw;
    }
    // The COM-PORT-OPTION commands received, each as code followed by its value.
    QList<QByteArray> commands() const
    {
        std::lock_guard l(m_lock);
        QList<QByteArray> out;
        for (const Event &e : m_events) {
            if (e.kind == Event::Kind::Subnegotiation && e.option == kComPort)
                out << e.payload;
        }
        return out;
    }
    int optionEvents(unsigned char verb) const
    {
        std::lock_guard l(m_lock);
        return int(std::count_if(m_events.begin(), m_events.end(), [verb](const Event &e) {
            return e.kind == Event::Kind::Option && e.verb == verb;
        }));
    }

private:
    mutable std::mutex m_lock;
    QByteArray m_toSend;
    QByteArray m_data;
    QByteArray m_raw;
    std::vector<Event> m_events;
};

QByteArray cmd(unsigned char code, QByteArray value)
{
    return char(code) + value;
}

// The component as the window sets it up.
void unitSettings(TCustomCommX &comm, const QString &address)
{
    comm.setParityBit(cpbOdd);
    comm.setFlowCtrl(cfcNone);
    comm.setLockFolder(QString());
    useDevice(comm, address);
}

ECommError openFailure(TCustomCommX &comm)
{
    try {
        comm.Open();
    } catch (const ECommError &e) {
        return e;
    }
    return ECommError(QString());
}

// Bytes handed to OnReceive, read as the receiver reads them.
QByteArray *collect(TCustomCommX &comm, QObject *context)
{
    auto *got = new QByteArray;
    QObject::connect(&comm, &TCustomCommX::OnReceive, context, [&comm, got](QObject *, int n) {
        for (int i = 0; i < n; ++i) {
            const int c = comm.ReadChar();
            if (c < 0)
                break;
            got->append(char(c));
        }
    });
    QObject::connect(context, &QObject::destroyed, [got] { delete got; });
    return got;
}

} // namespace

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
