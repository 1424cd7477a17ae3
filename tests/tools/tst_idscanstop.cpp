// A scan cut short: the unit silent, the port gone, the window closed, an ID that is no number;
// what is left in the rows, the counters and the status bar.
#include "platform/Exceptions.h"
#include "tests/tools/IdScanRig.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <chrono>

using namespace std::chrono_literals;

class tst_IdScanStop : public QObject
{
    Q_OBJECT

private slots:
    void stopsWhenTheUnitOrThePortGoes_data()
    {
        QTest::addColumn<bool>("startInList");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<int>("silentFromKey");
        QTest::addColumn<int>("closeAtKey");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("biCount");
        QTest::addColumn<QString>("message");

        const QString silent =
            QStringLiteral("IDスキャンを中断しました（ユニットの応答がありません）");
        const QString closed = QStringLiteral("IDスキャンを中断しました（ポートが閉じられました）");
        const Rows firstRow{{"6FF", "BI", "255", "OK"}};
        const Rows oldRow{{"0FF", "WO", "255", "OK"}};
        // Cut short inside the list: the counters stay empty, the status says how far it got.
        const QString partial =
            QStringLiteral("。読み取ったID 1 件までの途中結果です（カウンタは空のまま）");
        QTest::newRow("unit silent after the first ID")
            << false << true << 2 << 0 << firstRow << "" << silent + partial;
        QTest::newRow("port closed after the first ID")
            << false << true << 0 << 2 << firstRow << "" << closed + partial;
        QTest::newRow("unit silent on the ID key")
            << false << true << 1 << 0 << oldRow << "" << silent;
        QTest::newRow("unit silent while the address is keyed in")
            << true << true << 3 << 0 << oldRow << "" << silent;
        QTest::newRow("port closed while the address is keyed in")
            << true << true << 0 << 4 << oldRow << "" << closed;
        QTest::newRow("port closed before the scan")
            << false << false << 0 << 0 << oldRow << "" << closed;
    }

    void stopsWhenTheUnitOrThePortGoes()
    {
        QFETCH(bool, startInList);
        QFETCH(bool, portOpen);
        QFETCH(int, silentFromKey);
        QFETCH(int, closeAtKey);
        QFETCH(Rows, rows);
        QFETCH(QString, biCount);
        QFETCH(QString, message);

        Rig rig;
        rig.scan->setStepTimeout(200ms);
        rig.scanIds({ok("0FF")});
        rig.unit.keys.clear();
        QCOMPARE(rig.counter("BICnt"), QString("0"));
        rig.client.findChild<QLineEdit *>("BICnt")->setText("");

        rig.unit.ids = {ok("6FF"), ok("4FF")};
        if (startInList)
            rig.unit.enterListAt(1);
        else
            rig.unit.leaveList();
        rig.unit.silentFromKey = silentFromKey;
        rig.unit.closeAtKey = closeAtKey;
        rig.port.open = portOpen;
        rig.statusBar.showMessage("COM1 接続");

        QElapsedTimer clock;
        clock.start();
        rig.scan->btnIDScanClick();
        QVERIFY(clock.elapsed() < 2000);

        QVERIFY(!rig.scan->isScanning());
        QVERIFY(!rig.client.findChild<QPushButton *>("btnIDScan")->isDown());
        QCOMPARE(rig.statusBar.currentMessage(), message);
        QCOMPARE(rig.grid()->rowCount(), rows.size());
        for (int r = 1; r <= rows.size(); ++r)
            QCOMPARE(rig.row(r), rows[r - 1]);
        QCOMPARE(rig.counter("BICnt"), biCount);
    }

    void waitsThreeSecondsForASilentUnit()
    {
        Rig rig;
        rig.unit.silentFromKey = 1;
        QElapsedTimer clock;
        clock.start();
        rig.scan->btnIDScanClick();
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= 2990 && waited < 5000, qPrintable(QString::number(waited)));
        QCOMPARE(rig.statusBar.currentMessage(),
                 QStringLiteral("IDスキャンを中断しました（ユニットの応答がありません）"));
    }

    void statusTellsOfTheScanThatJustRan()
    {
        Rig rig;
        rig.scan->setStepTimeout(200ms);
        rig.unit.silentFromKey = 2;
        rig.scanIds({ok("6FF"), ok("905")});
        QVERIFY(rig.statusBar.currentMessage().startsWith(
            QStringLiteral("IDスキャンを中断しました（ユニットの応答がありません）")));

        // The next scan completes: its own outcome is shown, not the last one's.
        rig.unit.silentFromKey = 0;
        rig.unit.keys.clear();
        rig.scanIds({ok("6FF"), ok("905"), ok("4FF")});
        QCOMPARE(rig.statusBar.currentMessage(),
                 QStringLiteral("IDスキャンが完了しました（ID 3 件）"));
        QCOMPARE(rig.counter("TotalCnt"), QString("3"));

        // An ID that reads as no number: the status says the scan stopped, and at which row.
        rig.unit.ids = {ok("6FF"), {QStringLiteral("ID"), QStringLiteral("A00")}};
        rig.unit.leaveList();
        QVERIFY_THROWS_EXCEPTION(EConvertError, rig.scan->btnIDScanClick());
        QCOMPARE(rig.statusBar.currentMessage(),
                 QStringLiteral("IDスキャンを中断しました（2 行目のIDが読めません）"));
    }

    void aScanCutShortEmptiesTheCounters_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("Q3/Q4") << 0 << QStringList{"BICnt", "BOCnt",   "WICnt",   "WOCnt",
                                                   "UWCnt", "LumoCnt", "TotalCnt"};
        QTest::newRow("Q2") << 1 << QStringList{"BICnt", "BOCnt", "TotalCnt"};
    }

    void aScanCutShortEmptiesTheCounters()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, shown);
        Rig rig;
        rig.scan->SetBusMode(mode);
        rig.scan->setStepTimeout(200ms);
        const QList<RegisteredId> ids{ok("6FF"), ok("0FF"), ok("2FF"), ok("4FF"),
                                      ok("8FF"), ok("9FF"), ok("1FF"), ok("3FF")};
        rig.scanIds(ids);
        for (const QString &name : shown)
            QVERIFY(!rig.counter(qPrintable(name)).isEmpty());

        // Silent after three IDs: three rows, no count that could pass for the bus's.
        rig.unit.keys.clear();
        rig.unit.silentFromKey = 4;
        rig.scanIds(ids);
        QCOMPARE(rig.grid()->rowCount(), 3);
        for (const QString &name : shown)
            QCOMPARE(rig.counter(qPrintable(name)), QString());
        QVERIFY2(rig.statusBar.currentMessage().contains(QStringLiteral("読み取ったID 3 件")),
                 qPrintable(rig.statusBar.currentMessage()));
    }

    void closingTheWindowEndsTheScanAtOnce()
    {
        Rig rig;
        rig.client.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.client));
        QList<RegisteredId> many;
        for (int i = 0; i < 200; ++i)
            many.append({QStringLiteral("ID"), QString::number(0x600 + i, 16).toUpper()});
        int pressesAtClose = -1;
        rig.unit.onKey = [&](const QByteArray &code) {
            if (code == "24" && pressesAtClose < 0 && rig.unit.keys.size() == 4) {
                pressesAtClose = int(rig.unit.keys.size());
                // As File "終了(&X)" or the title bar's close does, from the event loop.
                QTimer::singleShot(0, &rig.client, [&rig] { rig.client.close(); });
            }
        };
        QElapsedTimer clock;
        clock.start();
        rig.scanIds(many);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!rig.scan->isScanning());
        QVERIFY(pressesAtClose > 0);
        // The key pressed before the close is answered; none follows it.
        QCOMPARE(rig.unit.keys.size(), qsizetype(pressesAtClose));
        QVERIFY(rig.grid()->rowCount() < 10);
        QCOMPARE(rig.counter("TotalCnt"), QString());

        // The next scan in a window shown again runs to its end.
        rig.client.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.client));
        rig.unit.onKey = nullptr;
        rig.unit.keys.clear();
        rig.scanIds({ok("6FF"), ok("905")});
        QCOMPARE(rig.counter("TotalCnt"), QString("2"));
    }

    void stopsOnAnIdThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("badId");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("failingRow");
        QTest::newRow("leading hexadecimal letter")
            << "A00" << QStringLiteral("'A' は整数ではありません")
            << QStringList{"A00", "", "", ""};
        QTest::newRow("leading blank") << " 12" << QStringLiteral("' ' は整数ではありません")
                                       << QStringList{" 12", "", "", ""};
        QTest::newRow("no hexadecimal number")
            << "6G0" << QStringLiteral("'6G0' は整数ではありません")
            << QStringList{"6G0", "BI", "", ""};
    }

    void stopsOnAnIdThatIsNoNumber()
    {
        QFETCH(QString, badId);
        QFETCH(QString, message);
        QFETCH(QStringList, failingRow);

        Rig rig;
        rig.unit.ids = {ok("6FF"), {QStringLiteral("ID"), badId}, ok("4FF")};
        try {
            rig.scan->btnIDScanClick();
            QFAIL("the scan went on past the bad ID");
        } catch (const EConvertError &e) {
            QCOMPARE(e.message(), message);
        }
        QVERIFY(!rig.scan->isScanning());
        QVERIFY(!rig.client.findChild<QPushButton *>("btnIDScan")->isDown());
        QCOMPARE(rig.row(1), QStringList({"6FF", "BI", "255", "OK"}));
        QCOMPARE(rig.row(2), failingRow);
        QCOMPARE(rig.counter("BICnt"), QString());
        QCOMPARE(rig.counter("TotalCnt"), QString());
    }
};

QTEST_MAIN(tst_IdScanStop)
#include "tst_idscanstop.moc"
