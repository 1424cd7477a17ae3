// A scan that runs to the end of the unit's ID list: the keys it presses, the rows and the
// counters in both bus modes, presses while it runs.
#include "tests/tools/IdScanRig.h"

#include <QPushButton>
#include <QTest>

class tst_IdScanRun : public QObject
{
    Q_OBJECT

private slots:
    void sendsNothingAtTheEndOfTheList()
    {
        Rig rig;
        rig.scanIds({ok("6FF")});
        QCOMPARE(rig.grid()->rowCount(), 1);
        rig.unit.keys.clear();
        rig.port.sent.clear();

        rig.unit.show("ID", "   ", "****");
        rig.scan->btnIDScanClick();
        QVERIFY(rig.port.sent.isEmpty());
        QCOMPARE(rig.row(1), QStringList({"6FF", "BI", "255", "OK"}));
        QCOMPARE(rig.counter("BICnt"), QString("1"));
    }

    void reentersTheListAtAddressZeroKeyByKey()
    {
        Rig rig;
        rig.unit.ids = {ok("6FF"), ok("905")};
        rig.unit.enterListAt(1); // somewhere in the list: "001" / "0905"
        rig.scan->btnIDScanClick();

        // Each key only once the unit has shown the answer to the one before.
        QCOMPARE(rig.unit.keys, QStringList({"03", "06", "06", "06", "28", "24", "24"}));
        QCOMPARE(rig.unit.addrAtKey,
                 QStringList({"001", "   ", "0  ", "00 ", "000", "000", "001"}));
        QCOMPARE(rig.grid()->rowCount(), 2);
        QCOMPARE(rig.row(1), QStringList({"6FF", "BI", "255", "OK"}));
        QCOMPARE(rig.row(2), QStringList({"905", "LM", "5", "OK"}));
    }

    void typesAddressesAndCounts_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<RegisteredId>>("ids");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<Counters>("counters");

        QTest::newRow("Q3/Q4: every type, an erroneous ID, an untyped digit")
            << 0 << QList<RegisteredId>{ok("6FF"), ok("905"), err("8C0"), ok("0FF"),
                                        ok("2A0"), ok("4FF"), ok("1FF"),  ok("9FF")}
            << Rows{{"6FF", "BI", "255", "OK"},  {"905", "LM", "5", "OK"},
                    {"8C0", "UW", "192", "ERR"}, {"0FF", "WO", "255", "OK"},
                    {"2A0", "WI", "160", "OK"},  {"4FF", "BO", "255", "OK"},
                    {"1FF", "", "511", "OK"},    {"9FF", "LM", "255", "OK"}}
            << Counters{{"BICnt", "1"}, {"BOCnt", "1"},   {"WICnt", "1"},   {"WOCnt", "1"},
                        {"UWCnt", "1"}, {"LumoCnt", "2"}, {"TotalCnt", "7"}};
        QTest::newRow("Q2: IN and OUT, untyped digits from 4 up")
            << 1 << QList<RegisteredId>{ok("2FF"), ok("1FF"), err("0FF"),
                                        ok("3C0"), ok("6FF"), ok("9FF")}
            << Rows{{"2FF", "IN", "255", "OK"},   {"1FF", "OUT", "511", "OK"},
                    {"0FF", "OUT", "255", "ERR"}, {"3C0", "IN", "448", "OK"},
                    {"6FF", "", "255", "OK"},     {"9FF", "", "255", "OK"}}
            << Counters{{"BICnt", "2"}, {"BOCnt", "2"}, {"TotalCnt", "4"}, {"WICnt", ""},
                        {"WOCnt", ""},  {"UWCnt", ""},  {"LumoCnt", ""}};
    }

    void typesAddressesAndCounts()
    {
        QFETCH(int, mode);
        QFETCH(QList<RegisteredId>, ids);
        QFETCH(Rows, rows);
        QFETCH(Counters, counters);

        Rig rig;
        // Noise on the other lines: only the cursor line may be read.
        for (int n : {1, 2, 4}) {
            rig.lines.setKind(n - 1, "EID");
            rig.lines.setData(n - 1, "0A00");
        }
        rig.scan->SetBusMode(mode);
        rig.scanIds(ids);

        QCOMPARE(rig.unit.keys.first(), QString("03"));
        QCOMPARE(rig.grid()->rowCount(), rows.size());
        for (int r = 1; r <= rows.size(); ++r)
            QCOMPARE(rig.row(r), rows[r - 1]);
        for (auto it = counters.cbegin(); it != counters.cend(); ++it)
            QCOMPARE(rig.counter(qPrintable(it.key())), it.value());
        QVERIFY(!rig.scan->isScanning());
    }

    void laterScanRewritesRowsAndDropsTheRest()
    {
        Rig rig;
        rig.scanIds({ok("6FF"), ok("4FF"), ok("0FF")});
        QCOMPARE(rig.grid()->rowCount(), 3);

        rig.scanIds({ok("905"), ok("1FF")});
        QCOMPARE(rig.grid()->rowCount(), 2);
        QCOMPARE(rig.row(1), QStringList({"905", "LM", "5", "OK"}));
        // No type for 1 in Q3/Q4: the cell is empty, not the "BO" of the last scan.
        QCOMPARE(rig.row(2), QStringList({"1FF", "", "511", "OK"}));
        QCOMPARE(rig.counter("TotalCnt"), QString("1"));
    }

    void emptyListKeepsRowsAndZeroesCounters_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("zeroed");
        QTest::addColumn<QStringList>("untouched");
        QTest::newRow("Q3/Q4") << 0 << QStringList{"BICnt", "BOCnt",   "WICnt",   "WOCnt",
                                                   "UWCnt", "LumoCnt", "TotalCnt"}
                               << QStringList{};
        QTest::newRow("Q2") << 1 << QStringList{"BICnt", "BOCnt", "TotalCnt"}
                            << QStringList{"WICnt", "WOCnt", "UWCnt", "LumoCnt"};
    }

    void emptyListKeepsRowsAndZeroesCounters()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, zeroed);
        QFETCH(QStringList, untouched);

        Rig rig;
        rig.scanIds({ok("6FF"), ok("0FF"), ok("2FF"), ok("4FF"), ok("8FF"), ok("9FF")});
        rig.scan->SetBusMode(mode);
        rig.scanIds({});

        QCOMPARE(rig.grid()->rowCount(), 6);
        QCOMPARE(rig.row(1), QStringList({"6FF", "BI", "255", "OK"}));
        for (const QString &name : zeroed)
            QCOMPARE(rig.counter(qPrintable(name)), QString("0"));
        for (const QString &name : untouched)
            QCOMPARE(rig.counter(qPrintable(name)), QString("1"));
    }

    void ignoresPressesWhileScanning()
    {
        Rig rig;
        rig.statusBar.showMessage("COM1 接続");
        QPushButton *button = rig.client.findChild<QPushButton *>("btnIDScan");
        bool sawRunning = false;
        int nested = 0;
        rig.unit.onKey = [&](const QByteArray &code) {
            if (code != "24" || nested++ > 0)
                return;
            sawRunning = rig.scan->isScanning() && button->isDown() &&
                         rig.statusBar.currentMessage() == QStringLiteral("IDスキャン中...");
            const int sentBefore = rig.port.sendCount;
            rig.scan->btnIDScanClick();
            rig.scan->RunIDScan();
            QCOMPARE(rig.port.sendCount, sentBefore);
        };
        rig.scanIds({ok("6FF"), ok("905")});

        QVERIFY(sawRunning);
        QCOMPARE(rig.unit.keys, QStringList({"03", "24", "24"}));
        QCOMPARE(rig.grid()->rowCount(), 2);
        QCOMPARE(rig.row(2), QStringList({"905", "LM", "5", "OK"}));
        QVERIFY(!rig.scan->isScanning());
        QVERIFY(!button->isDown());
        QCOMPARE(rig.statusBar.currentMessage(),
                 QStringLiteral("IDスキャンが完了しました（ID 2 件）"));
    }
};

QTEST_MAIN(tst_IdScanRun)
#include "tst_idscanrun.moc"
