// The history fed by the display lines: a key per address shown (as the comment panels name the
// bits), changes of the lines' words, frames heard, lines that leave the display, and a source
// that starts over.
#include "history/HistoryKey.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "tests/support/FakeDisplayLines.h"

#include <QSignalSpy>
#include <QTest>

class tst_HistoryRecorder : public QObject
{
    Q_OBJECT
private slots:
    void keyNamesTheBitsAsTheCommentPanels_data();
    void keyNamesTheBitsAsTheCommentPanels();
    void aKnownStreamBecomesItsChanges();
    void anAddressChangeEndsTheOldRowAndStartsTheNew();
    void aLineLeavingAfterSilenceEndsWhereTheUnitWasLastHeard();
    void aKeyOnTwoLinesStaysUntilItLeavesBoth();
    void restartEmptiesTheHistory();

private:
    struct Rig {
        FakeDisplayLines lines;
        HistoryStore store;
        HistoryRecorder recorder{store, lines};
        qint64 now = 1'000'000'000;
        bool bitMode = false;
        Rig()
        {
            recorder.clock = [this] { return now; };
            recorder.bitMode = [this] { return bitMode; };
        }
        // One good frame at time t that shows these texts on the line.
        void frame(qint64 t, int line, const char *kind, const char *addr, const char *data)
        {
            now = t;
            lines.show(line, QString::fromLatin1(kind), QString::fromLatin1(addr),
                       QString::fromLatin1(data));
            lines.takeFrame();
        }
    };
};

void tst_HistoryRecorder::keyNamesTheBitsAsTheCommentPanels_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("addr");
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("bitMode");
    QTest::addColumn<bool>("word");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<QString>("label3");

    QTest::newRow("data mode, bit address 017") << 0 << "IN"
                                                << "017"
                                                << "0000" << false << false << 17LL << "20";
    QTest::newRow("data mode, word W05") << 2 << "OUT"
                                         << "W05"
                                         << "0000" << false << true << 80LL << "5-3";
    QTest::newRow("bit mode, cursor 070, second line") << 1 << "IN"
                                                       << "070"
                                                       << "0000" << true << false << 80LL << "83";
    QTest::newRow("bit mode, a word address is read as bits")
        << 0 << "IN"
        << "W01"
        << "0000" << true << false << 16LL << "19";
    QTest::newRow("address with a blank third character") << 0 << "ID"
                                                          << "12 "
                                                          << "0000" << false << false << 0LL << "3";
    QTest::newRow("data beginning with R") << 3 << "ERR"
                                           << "040"
                                           << "R123" << false << false << 0LL << "3";
}

void tst_HistoryRecorder::keyNamesTheBitsAsTheCommentPanels()
{
    QFETCH(int, line);
    QFETCH(QString, kind);
    QFETCH(QString, addr);
    QFETCH(QString, data);
    QFETCH(bool, bitMode);
    QFETCH(bool, word);
    QFETCH(qint64, first);
    QFETCH(QString, label3);
    const auto key = HistoryKey::forLine(line, kind, addr, data, bitMode);
    QVERIFY(key.has_value());
    QCOMPARE(key->word, word);
    QCOMPARE(key->first, first);
    QCOMPARE(key->bitLabel(3), label3);
    QVERIFY(!HistoryKey::forLine(line, QStringLiteral("--"), addr, data, bitMode));
}

void tst_HistoryRecorder::aKnownStreamBecomesItsChanges()
{
    Rig r;
    QSignalSpy added(&r.recorder, &HistoryRecorder::added);
    r.frame(1'000'000, 0, "IN", "016", "0001");
    r.frame(1'013'000, 1, "OUT", "032", "8000");
    r.frame(1'026'000, 0, "IN", "016", "0001"); // repeated: no change, but heard
    r.frame(1'039'000, 0, "IN", "016", "12ab"); // lower case lights nothing: bits 12 and 9
    QCOMPARE(r.store.size(), 3);
    QCOMPARE(r.store.keyCount(), 2);
    const HistoryStore::Change &last = r.store.at(2);
    QCOMPARE(last.timeUs, 1'039'000);
    QCOMPARE(last.value, quint16(0x1200));
    QCOMPARE(r.store.key(int(last.key)).first, 16);
    QCOMPARE(r.store.at(1).value, quint16(0x8000));
    QCOMPARE(r.store.key(int(r.store.at(1).key)).kind, QStringLiteral("OUT"));
    QCOMPARE(int(r.store.spans().size()), 1);
    QCOMPARE(r.store.spans().front().startUs, 1'000'000);
    QCOMPARE(r.store.lastFrameUs(), 1'039'000);
    QVERIFY(added.count() >= 4);
}

void tst_HistoryRecorder::anAddressChangeEndsTheOldRowAndStartsTheNew()
{
    Rig r;
    r.frame(1'000'000, 0, "IN", "016", "00FF");
    r.frame(1'100'000, 0, "IN", "032", "00FF");
    r.frame(1'200'000, 0, "IN", "016", "0F0F");
    QCOMPARE(r.store.keyCount(), 2);
    QCOMPARE(r.store.size(), 5);
    const int k16 = int(r.store.at(0).key);
    const int k32 = int(r.store.at(2).key);
    QCOMPARE(r.store.key(k32).first, 32);
    // At 1.1 s the row of 016 ends and that of 032 begins.
    QCOMPARE(int(r.store.at(1).key), k16);
    QCOMPARE(r.store.at(1).shown, 0);
    QCOMPARE(r.store.at(1).timeUs, 1'100'000);
    QCOMPARE(r.store.at(2).shown, 1);
    QCOMPARE(r.store.at(2).value, quint16(0x00FF));
    QCOMPARE(r.store.at(3).shown, 0);
    QCOMPARE(int(r.store.at(4).key), k16);
    QCOMPARE(r.store.at(4).value, quint16(0x0F0F));
}

void tst_HistoryRecorder::aLineLeavingAfterSilenceEndsWhereTheUnitWasLastHeard()
{
    Rig r;
    r.frame(1'000'000, 0, "IN", "016", "0001");
    r.frame(1'013'000, 0, "IN", "016", "0001");
    // A disconnect long after the unit went quiet: every kind becomes "--".
    r.now = 9'000'000;
    r.lines.setKind(0, QStringLiteral("--"));
    QCOMPARE(r.store.size(), 2);
    QCOMPARE(r.store.at(1).shown, 0);
    QCOMPARE(r.store.at(1).timeUs, 1'013'000);
    // Soon after a frame, the line leaves when it does.
    r.frame(9'500'000, 0, "OUT", "000", "0001");
    r.now = 9'600'000;
    r.lines.setKind(0, QStringLiteral("--"));
    QCOMPARE(r.store.at(r.store.size() - 1).timeUs, 9'600'000);
}

void tst_HistoryRecorder::aKeyOnTwoLinesStaysUntilItLeavesBoth()
{
    Rig r;
    r.frame(1'000'000, 0, "IN", "016", "0001");
    r.frame(1'010'000, 1, "IN", "016", "0001");
    r.frame(1'020'000, 0, "IN", "048", "0002");
    const int k16 = int(r.store.at(0).key);
    QVERIFY(r.store.current(k16).shown);
    r.frame(1'030'000, 1, "IN", "064", "0003");
    QVERIFY(!r.store.current(k16).shown);
}

void tst_HistoryRecorder::restartEmptiesTheHistory()
{
    Rig r;
    QSignalSpy cleared(&r.recorder, &HistoryRecorder::cleared);
    r.frame(5'000'000, 0, "IN", "016", "0001");
    r.recorder.restart();
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(r.store.size(), 0);
    QCOMPARE(r.store.keyCount(), 0);
    QVERIFY(r.store.spans().empty());
    // The replay's earlier time line starts afresh, and the line still showing is a new row.
    r.frame(1'000'000, 0, "IN", "016", "0002");
    QCOMPARE(r.store.size(), 1);
    QCOMPARE(r.store.at(0).timeUs, 1'000'000);
}

QTEST_GUILESS_MAIN(tst_HistoryRecorder)
#include "tst_historyrecorder.moc"
