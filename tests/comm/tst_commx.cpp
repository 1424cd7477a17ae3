#include "comm/CommX.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{

const QString kCannotOpen = QStringLiteral("ポートをオープンできませんでした");
const QString kAlreadyOpen = QStringLiteral("ポートは、すでにオープンされています");
const char kXon = 0x11;
const char kXoff = 0x13;

// One pseudo-terminal pair: the component opens the slave by its path, the test plays the far
// end on the master. The test keeps its own slave descriptor only to look at the output state.
struct Pty {
    int master = -1;
    int slave = -1;
    QString path;

    Pty()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void send(const QByteArray &bytes) const
    {
        QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // Everything the master can read right now.
    QByteArray take() const
    {
        QByteArray out;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            out.append(buf, n);
        return out;
    }
    // Whether the line's output is stopped (XOFF) as seen by the driver.
    bool outputStopped() const
    {
        pollfd p{slave, POLLOUT, 0};
        return ::poll(&p, 1, 0) == 0;
    }
};

// Reads from the master until `count` bytes have come, for at most `ms`.
QByteArray collect(Pty &pty, qsizetype count, int ms = 5000)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < ms) {
        pollfd p{pty.master, POLLIN, 0};
        ::poll(&p, 1, 50);
        got += pty.take();
        QCoreApplication::processEvents();
    }
    return got;
}

QByteArray pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char('A' + i % 26);
    return b;
}

void useDevice(TCustomCommX &comm, const QString &path)
{
    comm.setPortResolver([path](int port) { return port == 1 ? path : QString(); });
}

QString openError(TCustomCommX &comm)
{
    try {
        comm.Open();
    } catch (const ECommError &e) {
        return e.message();
    }
    return {};
}

} // namespace

class tst_CommX : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_pty.emplace().master >= 0); }
    void cleanup()
    {
        LineEventSeam::forget(m_pty->path);
        m_pty.reset();
    }

    void opensAndCloses()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        QCOMPARE(comm.Handle(), 0xFFFFFFFFu);
        QElapsedTimer t;
        t.start();
        comm.Close();
        QVERIFY(t.elapsed() < 50);

        comm.Open();
        QVERIFY(comm.isOpen());
        QVERIFY(comm.Handle() != 0xFFFFFFFFu);
        QCOMPARE(comm.deviceName(), m_pty->path);
        QCOMPARE(comm.lastOpenFailure().reason, OpenFailure::Reason::None);

        QCOMPARE(openError(comm), kAlreadyOpen);
        QVERIFY(comm.isOpen());

        t.restart();
        comm.Close();
        QVERIFY(t.elapsed() >= 300);
        QVERIFY(!comm.isOpen());
        QCOMPARE(comm.Handle(), 0xFFFFFFFFu);

        // Closing gave the device back: it opens again.
        comm.Open();
        QVERIFY(comm.isOpen());
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("reason");
        QTest::newRow("no device behind the port number")
            << "nodevice" << kCannotOpen << int(OpenFailure::Reason::NoDeviceForPort);
        QTest::newRow("named device does not exist")
            << "missing" << kCannotOpen << int(OpenFailure::Reason::NoSuchDevice);
        QTest::newRow("port held by another program")
            << "held" << kCannotOpen << int(OpenFailure::Reason::Busy);
        QTest::newRow("port held by another component")
            << "twice" << kCannotOpen << int(OpenFailure::Reason::Busy);
        QTest::newRow("bit rate below 10")
            << "slow" << QStringLiteral("送信用スレッドを生成できませんでした")
            << int(OpenFailure::Reason::Other);
        QTest::newRow("character size with no meaning")
            << "charsize" << QStringLiteral("通信ビット数の設定でエラーが発生しました")
            << int(OpenFailure::Reason::Other);
    }

    void openFailures()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        QFETCH(int, reason);
        TCommX comm;
        TCommX other;
        useDevice(comm, m_pty->path);
        useDevice(other, m_pty->path);
        int holder = -1;
        if (situation == "nodevice")
            comm.setPortResolver([](int) { return QString(); });
        else if (situation == "missing")
            useDevice(comm, "/dev/qxwatch-no-such-tty");
        else if (situation == "held") {
            holder = ::open(m_pty->path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
            QVERIFY(::flock(holder, LOCK_EX | LOCK_NB) == 0);
        } else if (situation == "twice")
            other.Open();
        else if (situation == "slow")
            comm.setBitRate(5);
        else if (situation == "charsize")
            comm.setCharSize(9);

        QCOMPARE(openError(comm), message);
        QVERIFY(!comm.isOpen());
        QCOMPARE(comm.Handle(), 0xFFFFFFFFu);
        QCOMPARE(comm.PendingBytes(), 0);
        QCOMPARE(int(comm.lastOpenFailure().reason), reason);
        QVERIFY(!comm.SendString("x"));
        QCOMPARE(comm.ReadChar(), -1);

        if (holder >= 0)
            ::close(holder);
        if (situation != "twice" && situation != "nodevice" && situation != "missing") {
            // A failure after the device was opened closed it again: another user gets it.
            other.Open();
            QVERIFY(other.isOpen());
        }
    }

    void settersWhileOpen_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("CharSize 9")
            << "CharSize" << 9 << QStringLiteral("通信ビット数の設定でエラーが発生しました");
        QTest::newRow("CharSize 7 is taken") << "CharSize" << 7 << QString();
        QTest::newRow("BitRate 0")
            << "BitRate" << 0 << QStringLiteral("通信速度の設定でエラーが発生しました");
        QTest::newRow("BitRate 5 (no character time)")
            << "BitRate" << 5 << QStringLiteral("通信速度の設定でエラーが発生しました");
        QTest::newRow("BitRate 19200 is taken") << "BitRate" << 19200 << QString();
        QTest::newRow("ParityBit outside its values is only stored")
            << "ParityBit" << 7 << QString();
        QTest::newRow("StopBit outside its values is only stored") << "StopBit" << 9 << QString();
        QTest::newRow("BufLenReceive 0")
            << "BufLenReceive" << 0
            << QStringLiteral("通信用ポートのバッファを準備できませんでした");
        QTest::newRow("BufLenReceive 4000 is taken") << "BufLenReceive" << 4000 << QString();
    }

    void settersWhileOpen()
    {
        QFETCH(QString, property);
        QFETCH(int, value);
        QFETCH(QString, message);
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        comm.Open();
        QString raised;
        try {
            if (property == "CharSize")
                comm.setCharSize(value);
            else if (property == "BitRate")
                comm.setBitRate(value);
            else if (property == "ParityBit")
                comm.setParityBit(TCommParityBits(value));
            else if (property == "StopBit")
                comm.setStopBit(TCommStopBits(value));
            else if (property == "BufLenReceive")
                comm.setBufLenReceive(value);
        } catch (const ECommError &e) {
            raised = e.message();
        }
        QCOMPARE(raised, message);
        // A failed setter leaves the port open and the property holding the new value.
        QVERIFY(comm.isOpen());
        const int stored = property == "CharSize"    ? comm.CharSize()
                           : property == "BitRate"   ? comm.BitRate()
                           : property == "ParityBit" ? int(comm.ParityBit())
                           : property == "StopBit"   ? int(comm.StopBit())
                                                     : comm.BufLenReceive();
        QCOMPARE(stored, value);
        QVERIFY(comm.SendString("ok"));
        QCOMPARE(collect(*m_pty, 2), QByteArray("ok"));
    }

    void portNoWhileOpenMovesToTheNewPort()
    {
        Pty second;
        TCommX comm;
        const QString a = m_pty->path, b = second.path;
        comm.setPortResolver([a, b](int port) {
            return port == 1 ? a : port == 2 ? b : QString();
        });
        comm.Open();
        comm.setPortNo(2);
        QVERIFY(comm.isOpen());
        QCOMPARE(comm.deviceName(), b);
        TCommX other;
        useDevice(other, a);
        other.Open(); // the first port was given back
        QVERIFY(other.isOpen());
    }

    void sendsInOrder()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        QVERIFY(comm.SendString(QByteArray())); // empty: true while closed too
        QVERIFY(!comm.SendString("lost"));
        comm.Open();
        QVERIFY(comm.SendString(QByteArray()));
        QByteArray all;
        for (int i = 0; i < 50; ++i) {
            const QByteArray frame =
                "*" + QByteArray::number(i, 16).rightJustified(2, '0') + "\xff\x00";
            all += frame;
            QVERIFY(comm.SendString(frame));
        }
        const QByteArray big = pattern(9000);
        all += big;
        QVERIFY(comm.Write(big.constData(), int(big.size())));
        QCOMPARE(collect(*m_pty, all.size()), all);
        QTRY_COMPARE(comm.PendingBytes(), 0);
        QCOMPARE(comm.PendingChunks(), 0);
    }

    // Output held by XOFF: what Write queued stays with the transmit thread.
    void chunksWholeBuffersInOrder()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcXonXoff);
        comm.Open();
        m_pty->send(QByteArray(1, kXoff));
        QTRY_VERIFY(m_pty->outputStopped());

        const QByteArray data = pattern(5000);
        QVERIFY(comm.Write(data.constData(), int(data.size())));
        QCOMPARE(comm.PendingChunks(), 3); // 2048 + 2048 + 904
        QCOMPARE(comm.PendingBytes(), 5000);
        QVERIFY(comm.Write(data.constData(), 0));
        QCOMPARE(comm.PendingChunks(), 3);

        m_pty->send(QByteArray(1, kXon));
        QCOMPARE(collect(*m_pty, 5000), data);
        QTRY_COMPARE(comm.PendingChunks(), 0);
        QCOMPARE(comm.PendingBytes(), 0);
    }

    void throttlesAt32Requests()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcXonXoff);
        comm.setBufLenTrans(16);
        comm.Open();
        m_pty->send(QByteArray(1, kXoff));
        QTRY_VERIFY(m_pty->outputStopped());

        // Runs inside Write's wait: the window keeps processing events while it is throttled.
        int inFlightWhileWaiting = -1;
        bool writeReturned = false;
        QTimer::singleShot(0, this, [&] {
            inFlightWhileWaiting = comm.PendingChunks();
            QVERIFY(!writeReturned);
            m_pty->send(QByteArray(1, kXon));
        });
        const QByteArray data = pattern(40 * 16);
        QVERIFY(comm.Write(data.constData(), int(data.size())));
        writeReturned = true;
        QCOMPARE(inFlightWhileWaiting, 32);
        QCOMPARE(collect(*m_pty, data.size()), data);
    }

    void purgeTransDiscardsQueuedRequests()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcXonXoff);
        comm.Open();
        m_pty->send(QByteArray(1, kXoff));
        QTRY_VERIFY(m_pty->outputStopped());
        const QByteArray data = pattern(5000);
        QVERIFY(comm.Write(data.constData(), int(data.size())));
        QCOMPARE(comm.PendingChunks(), 3);

        comm.PurgeTrans();
        QCOMPARE(comm.PendingBytes(), 0);
        QCOMPARE(comm.PendingChunks(), 0);

        m_pty->send(QByteArray(1, kXon));
        QVERIFY(comm.SendString("after"));
        QCOMPARE(collect(*m_pty, 5), QByteArray("after"));
        QCOMPARE(collect(*m_pty, 1, 200), QByteArray());
    }

    void readsBytesAsTheyCame()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        comm.setParityBit(cpbOdd);
        comm.Open();
        QByteArray every;
        for (int i = 0; i < 256; ++i)
            every.append(char(i));
        m_pty->send(every);
        // The driver doubles each 0xFF in the stream; the count is of data bytes.
        QTRY_COMPARE(comm.ReceiveCount(), 256);
        QByteArray got;
        for (int i = 0; i < 256; ++i) {
            const int c = comm.ReadChar();
            QVERIFY(c >= 0 && c <= 255);
            got.append(char(c));
        }
        QCOMPARE(got, every);
        QCOMPARE(comm.ReceiveCount(), 0);

        m_pty->send("zz");
        QTRY_COMPARE(comm.ReceiveCount(), 2);
        comm.PurgeReceive();
        QCOMPARE(comm.ReceiveCount(), 0);
    }

    void readCharTimesOut()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        comm.setTimeOutReceive(300);
        comm.Open();
        QElapsedTimer t;
        t.start();
        QCOMPARE(comm.ReadChar(), -1);
        QVERIFY2(t.elapsed() >= 290 && t.elapsed() < 2000,
                 qPrintable(QString::number(t.elapsed())));

        // A byte that comes during the wait ends it.
        QTimer::singleShot(50, this, [&] { m_pty->send("k"); });
        t.restart();
        QCOMPARE(comm.ReadChar(), int('k'));
        QVERIFY(t.elapsed() < 290);

        comm.Close();
        t.restart();
        QCOMPARE(comm.ReadChar(), -1);
        QVERIFY(t.elapsed() < 50);
    }

    void closeDuringReadEndsIt()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        comm.setTimeOutReceive(5000);
        comm.Open();
        QTimer::singleShot(50, this, [&] { comm.Close(); });
        QElapsedTimer t;
        t.start();
        QCOMPARE(comm.ReadChar(), -1);
        QVERIFY(t.elapsed() < 2000);
    }

    void onReceiveCountsWaitingBytes()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        QByteArray got;
        QList<int> sizes;
        connect(&comm, &TCustomCommX::OnReceive, this, [&](QObject *sender, int n) {
            QCOMPARE(sender, &comm);
            sizes << n;
            for (int i = 0; i < n; ++i)
                got.append(char(comm.ReadChar()));
        });
        comm.Open();
        m_pty->send("hello\xff");
        QTRY_COMPARE(got, QByteArray("hello\xff"));
        m_pty->send("world");
        QTRY_COMPARE(got, QByteArray("hello\xffworld"));
        int total = 0;
        for (int n : sizes) {
            QVERIFY(n >= 1);
            total += n;
        }
        QCOMPARE(total, 11);
    }

    void aBurstLargerThanTheBufferArrivesWhole()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        QByteArray got;
        connect(&comm, &TCustomCommX::OnReceive, this, [&](QObject *, int n) {
            for (int i = 0; i < n; ++i)
                got.append(char(comm.ReadChar()));
        });
        comm.Open();
        // Several times the component's buffer, written while the window is busy elsewhere:
        // what does not fit stays in the driver until the reader has made room.
        QByteArray burst;
        for (int i = 0; i < 3 * 4096; ++i)
            burst.append(char('a' + i % 26));
        const int flags = ::fcntl(m_pty->master, F_GETFL);
        ::fcntl(m_pty->master, F_SETFL, flags | O_NONBLOCK);
        qsizetype sent = 0;
        while (sent < burst.size()) {
            // Fill the line to the brim before the window gets to read anything.
            ssize_t n = 0;
            while (sent < burst.size() && (n = ::write(m_pty->master, burst.constData() + sent,
                                                       size_t(burst.size() - sent))) > 0)
                sent += n;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        ::fcntl(m_pty->master, F_SETFL, flags);
        QTRY_COMPARE(got.size(), burst.size());
        QCOMPARE(got, burst);
    }

    void bytesLeftByAHandlerComeBackWithoutNewArrivals()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        QByteArray got;
        int events = 0;
        // Like the receiver at a rejected frame: takes a few bytes, leaves the rest.
        connect(&comm, &TCustomCommX::OnReceive, this, [&](QObject *, int n) {
            ++events;
            for (int i = 0; i < std::min(n, 4); ++i)
                got.append(char(comm.ReadChar()));
        });
        comm.Open();
        m_pty->send("0123456789AB");
        QTRY_COMPARE(got, QByteArray("0123456789AB"));
        QVERIFY(events >= 3);
        // A handler that takes nothing is not called again and again.
        disconnect(&comm, &TCustomCommX::OnReceive, this, nullptr);
        int idle = 0;
        connect(&comm, &TCustomCommX::OnReceive, this, [&](QObject *, int) { ++idle; });
        m_pty->send("xyz");
        QTRY_COMPARE(idle, 1);
        QTest::qWait(100);
        QCOMPARE(idle, 1);
    }

    // Handlers run inside a waiting read; a read they start must neither take the bytes the
    // waiting one is after nor be served alongside it.
    void readNestedInAWaitingReadTakesNothing()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        comm.setTimeOutReceive(3000);
        int nestedResult = -2;
        bool reading = false;
        int receivesDuringRead = 0;
        connect(&comm, &TCustomCommX::OnError, this, [&](QObject *, int) {
            QVERIFY(reading);
            m_pty->send("b");
            nestedResult = comm.ReadChar();
        });
        connect(&comm, &TCustomCommX::OnReceive, this, [&](QObject *, int) {
            if (reading)
                ++receivesDuringRead;
        });
        LineEventSeam::add(m_pty->path, {}); // a device with counters
        comm.Open();
        // A line error with no data: its notice comes while the read below waits.
        LineEventSeam::add(m_pty->path, {0, 1, 0, 0});
        reading = true;
        const int outer = comm.ReadChar();
        reading = false;
        QCOMPARE(nestedResult, -1);
        QCOMPARE(outer, int('b'));
        QCOMPARE(receivesDuringRead, 0);
    }

    void lineErrorsComeBeforeTheirData_data()
    {
        QTest::addColumn<int>("overrun");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("brk");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("overrun") << 1 << 0 << 0 << 0 << QStringList{"error 2", "receive"};
        QTest::newRow("parity") << 0 << 3 << 0 << 0 << QStringList{"error 4", "receive"};
        QTest::newRow("framing") << 0 << 0 << 1 << 0 << QStringList{"error 8", "receive"};
        QTest::newRow("all three OR-ed") << 2 << 1 << 1 << 0 << QStringList{"error 14", "receive"};
        QTest::newRow("break alone") << 0 << 0 << 0 << 1 << QStringList{"break", "receive"};
        QTest::newRow("framing with break")
            << 0 << 0 << 1 << 1 << QStringList{"error 8", "break", "receive"};
    }

    void lineErrorsComeBeforeTheirData()
    {
        QFETCH(int, overrun);
        QFETCH(int, parity);
        QFETCH(int, frame);
        QFETCH(int, brk);
        QFETCH(QStringList, events);
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        QStringList seen;
        connect(&comm, &TCustomCommX::OnError, this,
                [&](QObject *, int bits) { seen << QStringLiteral("error %1").arg(bits); });
        connect(&comm, &TCustomCommX::OnBreak, this, [&](QObject *) { seen << "break"; });
        connect(&comm, &TCustomCommX::OnReceive, this, [&](QObject *, int n) {
            seen << "receive";
            for (int i = 0; i < n; ++i)
                comm.ReadChar();
        });
        // Counters already standing at open are the baseline, not news.
        LineEventSeam::add(m_pty->path, {5, 5, 5, 5});
        comm.Open();
        LineEventSeam::add(m_pty->path,
                           {quint64(frame), quint64(overrun), quint64(parity), quint64(brk)});
        m_pty->send("x");
        QTRY_COMPARE(seen, events);
    }

    void noticesAfterCloseAreDropped()
    {
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        QSignalSpy received(&comm, &TCustomCommX::OnReceive);
        QSignalSpy errors(&comm, &TCustomCommX::OnError);
        comm.Open();
        LineEventSeam::add(m_pty->path, {0, 1, 0, 0});
        m_pty->send("late");
        // The receive thread is now blocked on its notices; the window does not serve them
        // before Close.
        pollfd p{m_pty->slave, POLLIN, 0};
        QVERIFY(::poll(&p, 1, 2000) == 1);
        comm.Close();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(received.count(), 0);
        QCOMPARE(errors.count(), 0);
    }

    void deviceLost_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::newRow("while idle") << false;
        QTest::newRow("while reading") << true;
    }

    void deviceLost()
    {
        QFETCH(bool, reading);
        TCommX comm;
        useDevice(comm, m_pty->path);
        comm.setFlowCtrl(cfcNone);
        comm.setTimeOutReceive(10000);
        QSignalSpy lost(&comm, &TCustomCommX::OnDeviceLost);
        comm.Open();
        QElapsedTimer t;
        t.start();
        if (reading) {
            QTimer::singleShot(50, this, [&] { m_pty->closeMaster(); });
            QCOMPARE(comm.ReadChar(), -1);
            QVERIFY(t.elapsed() < 3000);
        } else {
            m_pty->closeMaster();
        }
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!comm.isOpen());
        QCOMPARE(lost.first().first().value<QObject *>(), &comm);
        QVERIFY(!comm.SendString("x"));
        QCOMPARE(comm.ReadChar(), -1);
        QVERIFY(!lost.wait(300));
        QCOMPARE(lost.count(), 1);
        comm.Close();
    }

    void destroyedWhileThreadsRun()
    {
        auto *comm = new TCommX;
        useDevice(*comm, m_pty->path);
        comm->setFlowCtrl(cfcXonXoff);
        int events = 0;
        connect(comm, &TCustomCommX::OnReceive, this, [&] { ++events; });
        comm->Open();
        m_pty->send(QByteArray(1, kXoff));
        QTRY_VERIFY(m_pty->outputStopped());
        const QByteArray data = pattern(20000);
        QVERIFY(comm->Write(data.constData(), int(data.size())));
        // The receive thread blocks on a notice that nobody serves before the destruction.
        m_pty->send("data");
        pollfd p{m_pty->slave, POLLIN, 0};
        QVERIFY(::poll(&p, 1, 2000) == 1);

        QElapsedTimer t;
        t.start();
        delete comm;
        QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
        QCoreApplication::processEvents();
        QCOMPARE(events, 0);

        TCommX again;
        useDevice(again, m_pty->path);
        again.Open();
        QVERIFY(again.isOpen());
    }

private:
    std::optional<Pty> m_pty;
};

QTEST_GUILESS_MAIN(tst_CommX)
#include "tst_commx.moc"
