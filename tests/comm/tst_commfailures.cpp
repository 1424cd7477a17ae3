#include "comm/TtyDevice_p.h"
#include "tests/comm/CommTestSupport.h"

#include <cstring>

using namespace CommTest;

namespace
{

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

// What the component says when it fails: a driver that silently drops a setting is caught by
// reading the setting back, and every failure carries a reason that says what went wrong.
class tst_CommFailures : public QObject
{
    Q_OBJECT

    std::optional<Pty> m_pty;

private slots:
    void init() { QVERIFY(m_pty.emplace().isValid()); }
    void cleanup()
    {
        TtyDriverSeam::forget(m_pty->slavePath());
        m_pty.reset();
    }

    // A pty's driver keeps every line at 8 data bits without parity whatever it is told; the
    // seam makes it stand for an adapter that does so without a word.
    void aDroppedSettingIsCaught_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("whileOpen");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("said");
        const QString parity = QStringLiteral("通信パリティチェックの設定でエラーが発生しました");
        QTest::newRow("odd parity, at open")
            << "odd" << false << parity << QStringLiteral("奇数パリティを受け付けませんでした");
        QTest::newRow("even parity, while open")
            << "even" << true << parity << QStringLiteral("偶数パリティを受け付けませんでした");
        QTest::newRow("seven data bits, at open")
            << "7 bits" << false << QStringLiteral("通信ビット数の設定でエラーが発生しました")
            << QStringLiteral("データビット数 7 を受け付けませんでした");
    }
    void aDroppedSettingIsCaught()
    {
        QFETCH(QString, setting);
        QFETCH(bool, whileOpen);
        QFETCH(QString, message);
        QFETCH(QString, said);
        TtyDriverSeam::checkFraming(m_pty->slavePath());
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        comm.setFlowCtrl(cfcNone);
        if (whileOpen)
            comm.Open();
        try {
            if (setting == "odd")
                comm.setParityBit(cpbOdd);
            else if (setting == "even")
                comm.setParityBit(cpbEven);
            else
                comm.setCharSize(7);
            if (!whileOpen)
                comm.Open();
            QFAIL("the dropped setting went unnoticed");
        } catch (const ECommError &e) {
            QCOMPARE(e.message(), message);
            QCOMPARE(e.failure().reason, CommFailure::Reason::Other);
            QVERIFY(e.failure().dropped);
            QCOMPARE(e.detail(),
                     QStringLiteral("COM1: %1 のドライバーは").arg(m_pty->slavePath()) + said);
        }
        // At open the component closes again; a setter while open leaves the port open.
        QCOMPARE(comm.isOpen(), whileOpen);
        if (!whileOpen)
            QCOMPARE(comm.lastOpenFailure().setting.isEmpty(), false);
    }

    void everyFailureSaysWhy_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail");
        QTest::newRow("bit rate with no character time")
            << "rate 5" << QStringLiteral("送信用スレッドを生成できませんでした")
            << QStringLiteral(" で通信速度 5 bit/s を設定できませんでした (%1)")
                   .arg(systemText(EINVAL));
        QTest::newRow("character size with no meaning")
            << "size 9" << QStringLiteral("通信ビット数の設定でエラーが発生しました")
            << QStringLiteral(" でデータビット数 9 を設定できませんでした (%1)")
                   .arg(systemText(EINVAL));
        QTest::newRow("receive buffer of no bytes, while open")
            << "buffer 0" << QStringLiteral("通信用ポートのバッファを準備できませんでした")
            << QStringLiteral(" で受信バッファ 0 バイトを設定できませんでした (%1)")
                   .arg(systemText(EINVAL));
        QTest::newRow("a device that is no serial port")
            << "not serial" << kCannotOpen << QStringLiteral(" はシリアルポートではありません");
        QTest::newRow("a device that is not there")
            << "missing" << kCannotOpen << QStringLiteral(" がありません");
    }
    void everyFailureSaysWhy()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        QFETCH(QString, detail);
        TCommX comm;
        QString device = m_pty->slavePath();
        if (situation == "not serial")
            device = QStringLiteral("/dev/null");
        else if (situation == "missing")
            device = QStringLiteral("/dev/qxwatch-no-such-tty");
        useDevice(comm, device);
        if (situation == "rate 5")
            comm.setBitRate(5);
        else if (situation == "size 9")
            comm.setCharSize(9);
        QString raised, said;
        try {
            if (situation == "buffer 0") {
                comm.Open();
                comm.setBufLenReceive(0);
            } else {
                comm.Open();
            }
        } catch (const ECommError &e) {
            raised = e.message();
            said = e.detail();
        }
        QCOMPARE(raised, message);
        QCOMPARE(said, QStringLiteral("COM1: %1").arg(device) + detail);
        QVERIFY2(!said.contains(systemText(0)), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(tst_CommFailures)
#include "tst_commfailures.moc"
