#include "link/FrameSync.h"
#include "link/Frames.h"

#include <QTest>

namespace
{

// Feeds bytes as receive events: each event is cut short by a bad frame, as RecPkt does, and
// the unread rest is fed again as the next event. Returns the good frames in order and counts
// the bad verdicts.
struct Run {
    QList<QByteArray> good;
    int bad = 0;
};

Run feedEvents(FrameSync &sync, QList<QByteArray> events)
{
    Run run;
    QByteArray pending;
    for (const QByteArray &event : events) {
        pending += event;
        while (!pending.isEmpty()) {
            qsizetype used = 0;
            bool cut = false;
            for (; used < pending.size() && !cut;) {
                const auto v = sync.push(static_cast<unsigned char>(pending.at(used++)));
                if (v == FrameSync::Verdict::Good) {
                    run.good.append(sync.RecvText().left(13));
                    sync.clearText();
                } else if (v == FrameSync::Verdict::Bad) {
                    ++run.bad;
                    cut = true;
                }
            }
            pending.remove(0, used);
            if (!cut)
                break;
        }
    }
    return run;
}

const QByteArray kDataFrame = "*rt100000012C";
const QByteArray kBitFrame = "*vt201600FF2D";

} // namespace

class tst_FrameSync : public QObject
{
    Q_OBJECT
private slots:
    void referenceFramesCarryTheirChecks()
    {
        QCOMPARE(Frames::displayFrame('r', 't', '1', "000", "0001"), kDataFrame);
        QCOMPARE(Frames::displayFrame('v', 't', '2', "016", "00FF"), kBitFrame);
        QCOMPARE(Frames::keyFrame("01"), QByteArray("*012b"));
        QCOMPARE(Frames::keyFrame("ON"), QByteArray("*ON2b"));
    }

    void framesInOneOrManyEvents_data()
    {
        QTest::addColumn<QList<QByteArray>>("events");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<int>("bad");
        using L = QList<QByteArray>;
        QTest::newRow("one frame") << L{kDataFrame} << L{kDataFrame} << 0;
        QTest::newRow("two frames in one event")
            << L{kDataFrame + kBitFrame} << L{kDataFrame, kBitFrame} << 0;
        QTest::newRow("split after the start")
            << L{kDataFrame.left(2), kDataFrame.mid(2)} << L{kDataFrame} << 0;
        QTest::newRow("split before the last byte")
            << L{kDataFrame.left(12), kDataFrame.mid(12)} << L{kDataFrame} << 0;
        QTest::newRow("noise before a frame") << L{"xyz" + kDataFrame} << L{kDataFrame} << 0;
        QTest::newRow("lower-case check digits") << L{"*rt100000012c"} << L{} << 1;
        QByteArray noStar = "*rt1000000100";
        const unsigned char x = Frames::xorOf(noStar.constData() + 1, noStar.constData() + 11);
        noStar = noStar.left(11) + QByteArray::number(x, 16).toUpper().rightJustified(2, '0');
        QTest::newRow("xor without the star") << L{noStar} << L{} << 1;
        QTest::newRow("star then 0x30 starts nothing") << L{"*0" + kDataFrame.mid(1)} << L{} << 1;
        QTest::newRow("star then 0x78 starts nothing") << L{"*x" + kDataFrame.mid(1)} << L{} << 1;
        QTest::newRow("bad then good: the good one waits for the next event")
            << L{"*rt100000012c" + kBitFrame, QByteArray()} << L{kBitFrame} << 1;
        QTest::newRow("twelve 0x30 before a frame")
            << L{QByteArray(12, '0') + kDataFrame} << L{kDataFrame} << 1;
    }

    void framesInOneOrManyEvents()
    {
        QFETCH(QList<QByteArray>, events);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(int, bad);
        FrameSync sync;
        sync.clearText(); // an emptied receiver, as after a rejected frame
        const Run run = feedEvents(sync, events);
        QCOMPARE(run.good, expected);
        QCOMPARE(run.bad, bad);
    }

    void twelveZerosCostTheFirstEventButNotTheFrame()
    {
        // The frame's "*" is the 13th counted character: that check fails and ends the event;
        // the frame is still found from its second byte, because PrevChar holds the "*".
        FrameSync sync;
        sync.clearText();
        const QByteArray event = QByteArray(12, '0') + kDataFrame;
        int i = 0;
        FrameSync::Verdict v = FrameSync::Verdict::Incomplete;
        while (v != FrameSync::Verdict::Bad)
            v = sync.push(static_cast<unsigned char>(event.at(i++)));
        QCOMPARE(i, 13);
        QCOMPARE(sync.PrevChar(), int('*'));
        for (; i < event.size(); ++i)
            v = sync.push(static_cast<unsigned char>(event.at(i)));
        QCOMPARE(v, FrameSync::Verdict::Good);
        QCOMPARE(sync.RecvText(), kDataFrame);
    }

    void startTextIsNeverAccepted()
    {
        FrameSync sync;
        QCOMPARE(sync.RecvText(), QByteArray("*ppp000000000"));
        QCOMPARE(sync.RecvCount(), 0);
        // Thirteen bytes without a start: the start text's positions are checked and rejected.
        FrameSync::Verdict v = FrameSync::Verdict::Incomplete;
        for (int i = 0; i < 13; ++i)
            v = sync.push('0');
        QCOMPARE(v, FrameSync::Verdict::Bad);
    }

    void failedReadsBreakTheFrame()
    {
        FrameSync sync;
        const QByteArray head = kDataFrame.left(6);
        for (char c : head)
            sync.push(static_cast<unsigned char>(c));
        FrameSync::Verdict v = sync.push(-1);
        QCOMPARE(sync.PrevChar(), -1);
        for (char c : kDataFrame.mid(7))
            v = sync.push(static_cast<unsigned char>(c));
        QCOMPARE(v, FrameSync::Verdict::Bad);
    }

    void connectResetKeepsTextButNotThePendingStar()
    {
        FrameSync sync;
        sync.push('*');
        sync.resetForConnect();
        QCOMPARE(sync.RecvCount(), 0);
        QCOMPARE(sync.PrevChar(), 32);
        // "r" right after the reset must not start a frame: the "*" came before the connect.
        sync.push('r');
        QCOMPARE(sync.RecvCount(), 1); // a frame start would have counted 2
        const Run run = feedEvents(sync, {kDataFrame});
        QCOMPARE(run.good, QList<QByteArray>{kDataFrame});
    }
};

QTEST_GUILESS_MAIN(tst_FrameSync)
#include "tst_framesync.moc"
