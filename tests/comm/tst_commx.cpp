#include "tests/comm/CommTestSupport.h"

using namespace CommTest;

// Opening, closing, settings and sending, on real pseudo-terminal pairs.
class tst_CommX : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_pty.emplace().isValid()); }
    void cleanup()
    {
        LineEventSeam::forget(m_pty->slavePath());
        m_pty.reset();
    }

    void opensAndCloses()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        QCOMPARE(comm.Handle(), 0xFFFFFFFFu);
        QElapsedTimer t;
        t.start();
        comm.Close();
        QVERIFY(t.elapsed() < 50);

        comm.Open();
        QVERIFY(comm.isOpen());
        QVERIFY(comm.Handle() != 0xFFFFFFFFu);
        QCOMPARE(comm.deviceName(), m_pty->slavePath());
        QCOMPARE(comm.lastOpenFailure().reason, CommFailure::Reason::None);

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
            << "nodevice" << kCannotOpen << int(CommFailure::Reason::NoDeviceForPort);
        QTest::newRow("named device does not exist")
            << "missing" << kCannotOpen << int(CommFailure::Reason::NoSuchDevice);
        QTest::newRow("port held by another program")
            << "held" << kCannotOpen << int(CommFailure::Reason::Busy);
        QTest::newRow("port held by another component")
            << "twice" << kCannotOpen << int(CommFailure::Reason::Busy);
        QTest::newRow("bit rate below 10")
            << "slow" << QStringLiteral("送信用スレッドを生成できませんでした")
            << int(CommFailure::Reason::Other);
        QTest::newRow("character size with no meaning")
            << "charsize" << QStringLiteral("通信ビット数の設定でエラーが発生しました")
            << int(CommFailure::Reason::Other);
    }

    void openFailures()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        QFETCH(int, reason);
        TCommX comm;
        TCommX other;
        useDevice(comm, m_pty->slavePath());
        useDevice(other, m_pty->slavePath());
        int holder = -1;
        if (situation == "nodevice")
            comm.setPortResolver([](int) { return QString(); });
        else if (situation == "missing")
            useDevice(comm, "/dev/qxwatch-no-such-tty");
        else if (situation == "held") {
            holder = ::open(m_pty->slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
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
        useDevice(comm, m_pty->slavePath());
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
        QCOMPARE(m_pty->collect(2), QByteArray("ok"));
    }

    void portNoWhileOpenMovesToTheNewPort()
    {
        Pty second;
        TCommX comm;
        const QString a = m_pty->slavePath(), b = second.slavePath();
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
        useDevice(comm, m_pty->slavePath());
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
        QCOMPARE(m_pty->collect(all.size()), all);
        QTRY_COMPARE(comm.PendingBytes(), 0);
        QCOMPARE(comm.PendingChunks(), 0);
    }

    // Output held by XOFF: what Write queued stays with the transmit thread.
    void chunksWholeBuffersInOrder()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        QVERIFY(openWithOutputHeld(comm));

        const QByteArray data = pattern(5000);
        QVERIFY(comm.Write(data.constData(), int(data.size())));
        QCOMPARE(comm.PendingChunks(), 3); // 2048 + 2048 + 904
        QCOMPARE(comm.PendingBytes(), 5000);
        QVERIFY(comm.Write(data.constData(), 0));
        QCOMPARE(comm.PendingChunks(), 3);

        m_pty->send(QByteArray(1, kXon));
        QCOMPARE(m_pty->collect(5000), data);
        QTRY_COMPARE(comm.PendingChunks(), 0);
        QCOMPARE(comm.PendingBytes(), 0);
    }

    void throttlesAt32Requests()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        comm.setBufLenTrans(16);
        QVERIFY(openWithOutputHeld(comm));

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
        QCOMPARE(m_pty->collect(data.size()), data);
    }

    void purgeTransDiscardsQueuedRequests()
    {
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        QVERIFY(openWithOutputHeld(comm));
        const QByteArray data = pattern(5000);
        QVERIFY(comm.Write(data.constData(), int(data.size())));
        QCOMPARE(comm.PendingChunks(), 3);

        comm.PurgeTrans();
        QCOMPARE(comm.PendingBytes(), 0);
        QCOMPARE(comm.PendingChunks(), 0);

        m_pty->send(QByteArray(1, kXon));
        QVERIFY(comm.SendString("after"));
        QCOMPARE(m_pty->collect(5), QByteArray("after"));
        QCOMPARE(m_pty->collect(1, 200), QByteArray());
    }

    void destroyedWhileThreadsRun()
    {
        auto *comm = new TCommX;
        useDevice(*comm, m_pty->slavePath());
        int events = 0;
        connect(comm, &TCustomCommX::OnReceive, this, [&] { ++events; });
        QVERIFY(openWithOutputHeld(*comm));
        const QByteArray data = pattern(20000);
        QVERIFY(comm->Write(data.constData(), int(data.size())));
        // The receive thread blocks on a notice that nobody serves before the destruction.
        m_pty->send("data");
        pollfd p{m_pty->slave(), POLLIN, 0};
        QVERIFY(::poll(&p, 1, 2000) == 1);

        QElapsedTimer t;
        t.start();
        delete comm;
        QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
        QCoreApplication::processEvents();
        QCOMPARE(events, 0);

        TCommX again;
        useDevice(again, m_pty->slavePath());
        again.Open();
        QVERIFY(again.isOpen());
    }

private:
    // Opens with XON/XOFF flow control and stops the output with an XOFF from the far end, so
    // what the component queues stays with its transmit thread. True once the line is held.
    bool openWithOutputHeld(TCustomCommX &comm)
    {
        comm.setFlowCtrl(cfcXonXoff);
        comm.Open();
        m_pty->send(QByteArray(1, kXoff));
        return QTest::qWaitFor([this] { return m_pty->outputStopped(); });
    }

    std::optional<Pty> m_pty;
};

QTEST_GUILESS_MAIN(tst_CommX)
#include "tst_commx.moc"