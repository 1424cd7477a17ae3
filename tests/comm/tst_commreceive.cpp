#include "tests/comm/CommTestSupport.h"

using namespace CommTest;

// Receiving: reads, receive notices, line errors and breaks, lost devices.
class tst_CommReceive : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_pty.emplace().isValid()); }
    void cleanup()
    {
        LineEventSeam::forget(m_pty->slavePath());
        m_pty.reset();
    }

    void readsBytesAsTheyCame()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
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
        useDevice(comm, m_pty->slavePath());
        comm.setFlowCtrl(cfcNone);
        comm.setTimeOutReceive(300);
        comm.Open();
        QElapsedTimer t;
        t.start();
        QCOMPARE(comm.ReadChar(), -1);
        QVERIFY2(t.elapsed() >= 290 && t.elapsed() < 2000,
                 qPrintable(QString::number(t.elapsed())));

        // A byte that comes during the wait ends it. The wait allowed is long, so that a loaded
        // machine cannot make the byte look late: only an end by the time-out would take 5 s.
        comm.setTimeOutReceive(5000);
        QTimer::singleShot(50, this, [&] { m_pty->send("k"); });
        t.restart();
        QCOMPARE(comm.ReadChar(), int('k'));
        QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));

        // A closed port does not wait at all.
        comm.Close();
        t.restart();
        QCOMPARE(comm.ReadChar(), -1);
        QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
    }

    void closeDuringReadEndsIt()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
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
        useDevice(comm, m_pty->slavePath());
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
        useDevice(comm, m_pty->slavePath());
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
        const int flags = ::fcntl(m_pty->master(), F_GETFL);
        ::fcntl(m_pty->master(), F_SETFL, flags | O_NONBLOCK);
        qsizetype sent = 0;
        while (sent < burst.size()) {
            // Fill the line to the brim before the window gets to read anything.
            ssize_t n = 0;
            while (sent < burst.size() && (n = ::write(m_pty->master(), burst.constData() + sent,
                                                       size_t(burst.size() - sent))) > 0)
                sent += n;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        ::fcntl(m_pty->master(), F_SETFL, flags);
        QTRY_COMPARE(got.size(), burst.size());
        QCOMPARE(got, burst);
    }

    void bytesLeftByAHandlerComeBackWithoutNewArrivals()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
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
        useDevice(comm, m_pty->slavePath());
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
        LineEventSeam::add(m_pty->slavePath(), {}); // a device with counters
        comm.Open();
        // A line error with no data: its notice comes while the read below waits.
        LineEventSeam::add(m_pty->slavePath(), {0, 1, 0, 0});
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
        useDevice(comm, m_pty->slavePath());
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
        LineEventSeam::add(m_pty->slavePath(), {5, 5, 5, 5});
        comm.Open();
        LineEventSeam::add(m_pty->slavePath(),
                           {quint64(frame), quint64(overrun), quint64(parity), quint64(brk)});
        m_pty->send("x");
        QTRY_COMPARE(seen, events);
    }

    void noticesAfterCloseAreDropped()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        comm.setFlowCtrl(cfcNone);
        QSignalSpy received(&comm, &TCustomCommX::OnReceive);
        QSignalSpy errors(&comm, &TCustomCommX::OnError);
        comm.Open();
        LineEventSeam::add(m_pty->slavePath(), {0, 1, 0, 0});
        m_pty->send("late");
        // The receive thread is now blocked on its notices; the window does not serve them
        // before Close.
        pollfd p{m_pty->slave(), POLLIN, 0};
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
        useDevice(comm, m_pty->slavePath());
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

private:
    std::optional<Pty> m_pty;
};

QTEST_GUILESS_MAIN(tst_CommReceive)
#include "tst_commreceive.moc"