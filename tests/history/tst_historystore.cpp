// The history's store: bounded by its limit with the oldest dropped into the baseline, spans of
// frames heard with gaps between them, and the state of every key at any change.
#include "history/HistoryStore.h"

#include <QTest>

namespace
{

HistoryKey bitKey(const char *kind, qint64 first)
{
    HistoryKey k;
    k.kind = QString::fromLatin1(kind);
    k.first = first;
    k.addrText = QStringLiteral("%1").arg(first, 3, 10, QLatin1Char('0'));
    return k;
}

} // namespace

class tst_HistoryStore : public QObject
{
    Q_OBJECT
private slots:
    void keysAreFoundAgainByWhatTheyShow();
    void repeatedValuesAreNoChange();
    void limitDropsTheOldestAndKeepsTheirStateAsBaseline();
    void framesFartherApartThanTheGapStartANewSpan_data();
    void framesFartherApartThanTheGapStartANewSpan();
    void droppingTrimsTheSpansToTheReach();
    void statesBeforeAChangeFollowTheChanges();
    void timesNeverGoBackwards();
    void lowerBoundFindsTheFirstChangeAtATime();
};

void tst_HistoryStore::keysAreFoundAgainByWhatTheyShow()
{
    HistoryStore s;
    const int in16 = s.keyOf(bitKey("IN", 16), 0);
    const int out16 = s.keyOf(bitKey("OUT", 16), 1);
    QCOMPARE_NE(in16, out16);
    QCOMPARE(s.keyOf(bitKey("IN", 16), 3), in16);
    QCOMPARE(s.keyLine(in16), 0); // the group of the line it was first shown on
    HistoryKey word = bitKey("IN", 16);
    word.word = true;
    QCOMPARE_NE(s.keyOf(word, 0), in16);
}

void tst_HistoryStore::repeatedValuesAreNoChange()
{
    HistoryStore s;
    const int k = s.keyOf(bitKey("IN", 0), 0);
    s.record(1000, k, 0, 0x0001);
    s.record(2000, k, 0, 0x0001);
    s.record(3000, k, 0, 0x0003);
    QCOMPARE(s.size(), 2);
    s.hide(4000, k);
    s.hide(5000, k);
    QCOMPARE(s.size(), 3);
    QCOMPARE(s.at(2).shown, 0);
    // Shown again with the value it had: a change, it was not shown before.
    s.record(6000, k, 0, 0x0003);
    QCOMPARE(s.size(), 4);
}

void tst_HistoryStore::limitDropsTheOldestAndKeepsTheirStateAsBaseline()
{
    HistoryStore s(100);
    const int still = s.keyOf(bitKey("OUT", 32), 1);
    const int busy = s.keyOf(bitKey("IN", 0), 0);
    s.record(10, still, 1, 0xBEEF);
    for (int i = 0; i < 250; ++i)
        s.record(100 + i, busy, 0, quint16(i));
    QCOMPARE(s.size(), 100);
    QCOMPARE(s.dropped(), 151u);
    QCOMPARE(s.at(0).timeUs, 250); // the change of i = 150
    QCOMPARE(s.at(99).timeUs, 349);
    QCOMPARE(s.reachUs(), 250);
    // The bit that never changed again keeps its level: it is in the baseline.
    const std::vector<HistoryStore::State> before = s.statesBefore(0);
    QVERIFY(before[std::size_t(still)].shown);
    QCOMPARE(before[std::size_t(still)].value, 0xBEEF);
    QCOMPARE(before[std::size_t(busy)].value, 149);
    // Bounded memory: the ring never grows past the limit.
    QVERIFY(s.bytesHeld() <= qsizetype(128 * sizeof(HistoryStore::Change)));
}

void tst_HistoryStore::framesFartherApartThanTheGapStartANewSpan_data()
{
    QTest::addColumn<QList<qint64>>("frames");
    QTest::addColumn<int>("spans");
    QTest::addColumn<qint64>("lastSpanStart");
    const qint64 g = HistoryStore::kGapUs;
    QTest::newRow("steady 13 ms apart") << QList<qint64>{0, 13'000, 26'000, 39'000} << 1 << 0LL;
    QTest::newRow("exactly the gap apart is still heard") << QList<qint64>{0, g, 2 * g} << 1 << 0LL;
    QTest::newRow("one silence") << QList<qint64>{0, 13'000, 13'001 + g, 26'001 + g} << 2
                                 << 13'001 + g;
    QTest::newRow("two silences") << QList<qint64>{0, 3 * g, 7 * g} << 3 << 7 * g;
}

void tst_HistoryStore::framesFartherApartThanTheGapStartANewSpan()
{
    QFETCH(QList<qint64>, frames);
    QFETCH(int, spans);
    QFETCH(qint64, lastSpanStart);
    HistoryStore s;
    for (qint64 t : frames)
        s.frame(t);
    QCOMPARE(int(s.spans().size()), spans);
    QCOMPARE(s.spans().back().startUs, lastSpanStart);
    QCOMPARE(s.spans().back().endUs, frames.last());
    QCOMPARE(s.lastFrameUs(), frames.last());
    if (spans > 1) {
        // Between the end of one span and the start of the next nothing was heard.
        const qint64 silent = (s.spans()[0].endUs + s.spans()[1].startUs) / 2;
        QVERIFY(!s.heard(silent));
    }
    QVERIFY(s.heard(frames.first()));
    QVERIFY(s.heard(frames.last()));
}

void tst_HistoryStore::droppingTrimsTheSpansToTheReach()
{
    HistoryStore s(10);
    const int k = s.keyOf(bitKey("IN", 0), 0);
    s.frame(0);
    s.frame(10 * HistoryStore::kGapUs); // a second span
    for (int i = 0; i < 20; ++i) {
        const qint64 t = 10 * HistoryStore::kGapUs + i;
        s.record(t, k, 0, quint16(i));
        s.frame(t);
    }
    QCOMPARE(int(s.spans().size()), 1);
    QCOMPARE(s.spans().front().startUs, s.reachUs());
}

void tst_HistoryStore::statesBeforeAChangeFollowTheChanges()
{
    HistoryStore s;
    const int a = s.keyOf(bitKey("IN", 0), 0);
    const int b = s.keyOf(bitKey("OUT", 16), 1);
    s.record(1, a, 0, 1);
    s.record(2, b, 1, 2);
    s.record(3, a, 0, 3);
    s.hide(4, b);
    const auto at1 = s.statesBefore(1);
    QCOMPARE(at1[std::size_t(a)].value, 1);
    QVERIFY(!at1[std::size_t(b)].shown);
    const auto at3 = s.statesBefore(3);
    QCOMPARE(at3[std::size_t(a)].value, 3);
    QVERIFY(at3[std::size_t(b)].shown);
    QCOMPARE(at3[std::size_t(b)].value, 2);
    QVERIFY(!s.statesBefore(4)[std::size_t(b)].shown);
}

void tst_HistoryStore::timesNeverGoBackwards()
{
    HistoryStore s;
    const int k = s.keyOf(bitKey("IN", 0), 0);
    s.frame(5000);
    s.record(4000, k, 0, 1); // the wall clock stepped back
    QCOMPARE(s.at(0).timeUs, 5000);
    s.frame(4500);
    QCOMPARE(s.lastFrameUs(), 5000);
}

void tst_HistoryStore::lowerBoundFindsTheFirstChangeAtATime()
{
    HistoryStore s(8);
    const int k = s.keyOf(bitKey("IN", 0), 0);
    // Wrapped around the ring: 12 changes in 8 slots.
    for (int i = 0; i < 12; ++i)
        s.record(100 * i, k, 0, quint16(i));
    QCOMPARE(s.at(0).timeUs, 400);
    QCOMPARE(s.lowerBound(0), 0);
    QCOMPARE(s.lowerBound(400), 0);
    QCOMPARE(s.lowerBound(401), 1);
    QCOMPARE(s.lowerBound(1100), 7);
    QCOMPARE(s.lowerBound(1101), 8);
}

QTEST_GUILESS_MAIN(tst_HistoryStore)
#include "tst_historystore.moc"
