#include "link/Frames.h"
#include "link/KeyCodes.h"
#include "link/UnitLink.h"
#include "platform/Exceptions.h"
#include "tests/support/FakeDisplayLines.h"
#include "tests/support/FakePort.h"
#include "tools/IdScan.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace
{

struct RegisteredId {
    QString kind; // "ID" or "EID"
    QString id;   // three characters as the unit shows them
};

// A monitor unit as far as its ID list goes: it answers each key frame a moment later (from the
// event loop, as display frames would arrive) by rewriting the texts of its cursor line.
class FakeUnit
{
public:
    FakeUnit(FakePort &port, FakeDisplayLines &lines, int line) : m_lines(lines), m_line(line)
    {
        port.onSend = [this, &port](const QByteArray &frame) {
            const QByteArray code = Frames::parseKeyFrame(frame).value_or("??");
            keys.append(QString::fromLatin1(code));
            addrAtKey.append(text("Addr"));
            if (keys.size() == closeAtKey) {
                port.open = false;
                return;
            }
            if (keys.size() >= silentFromKey && silentFromKey > 0)
                return;
            if (onKey)
                onKey(code);
            QTimer::singleShot(0, &m_lines, [this, code] { answer(code); });
        };
    }

    // The unit showing something other than its ID list.
    void leaveList()
    {
        m_inList = false;
        show(QStringLiteral("IN"), QStringLiteral("000"), QStringLiteral("0000"));
    }

    // The unit inside its ID list at some entry.
    void enterListAt(int index)
    {
        m_inList = true;
        m_index = index;
        showEntry();
    }

    void show(const QString &kind, const QString &addr, const QString &data)
    {
        m_lines.show(m_line, kind, addr, data);
    }

    QString text(const char *prefix) const
    {
        const QLatin1String field(prefix);
        return field == QLatin1String("IO")     ? m_lines.kind(m_line)
               : field == QLatin1String("Addr") ? m_lines.addr(m_line)
                                                : m_lines.data(m_line);
    }

    QList<RegisteredId> ids;
    QStringList keys;
    QStringList addrAtKey; // the address text shown when each key came
    int silentFromKey = 0; // 1-based; 0 answers every key
    int closeAtKey = 0;    // 1-based; closes the port instead of answering
    std::function<void(const QByteArray &)> onKey;

private:
    void showEntry()
    {
        if (m_index < ids.size())
            show(ids[m_index].kind, QStringLiteral("%1").arg(m_index, 3, 10, QLatin1Char('0')),
                 QLatin1Char('0') + ids[m_index].id);
        else
            show(QStringLiteral("ID"), QStringLiteral("   "), QStringLiteral("****"));
    }

    void answer(const QByteArray &code)
    {
        if (code == KeyCodes::Id) {
            if (!m_inList) {
                enterListAt(0);
                return;
            }
            m_typed.clear();
            show(QStringLiteral("ID"), QStringLiteral("   "), QStringLiteral("    "));
        } else if (code == KeyCodes::digit(0)) {
            m_typed += QLatin1Char('0');
            show(QStringLiteral("ID"), m_typed.leftJustified(3, QLatin1Char(' ')),
                 QStringLiteral("    "));
        } else if (code == KeyCodes::Ent) {
            m_index = m_typed.toInt();
            m_typed.clear();
            showEntry();
        } else if (code == KeyCodes::Left) {
            ++m_index;
            showEntry();
        }
    }

    FakeDisplayLines &m_lines;
    int m_line;
    bool m_inList = false;
    int m_index = 0;
    QString m_typed;
};

// What the scan works with: the unit behind a port, the display lines, the ID page and a status
// bar.
struct Rig {
    explicit Rig(int cursorLine = 2) : curLine(cursorLine)
    {
        lines.curLine = curLine;
        link.setPort(&port);
        page = new QWidget(&client);
        scan = new IdScan(link, lines, page, &statusBar);
        unit.leaveList();
    }

    QTableWidget *grid() const { return client.findChild<QTableWidget *>("IDStringGrid"); }
    QString counter(const char *name) const
    {
        return client.findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 4; ++c) {
            const QTableWidgetItem *item = grid()->item(r - 1, c);
            cells.append(item ? item->text() : QString());
        }
        return cells;
    }
    void scanIds(const QList<RegisteredId> &ids)
    {
        unit.ids = ids;
        unit.leaveList();
        scan->btnIDScanClick();
    }

    QWidget client;
    QStatusBar statusBar;
    FakePort port;
    UnitLink link;
    FakeDisplayLines lines;
    int curLine;
    QWidget *page = nullptr;
    IdScan *scan = nullptr;
    FakeUnit unit{port, lines, curLine};
};

RegisteredId ok(const char *id)
{
    return {QStringLiteral("ID"), QLatin1String(id)};
}
RegisteredId err(const char *id)
{
    return {QStringLiteral("EID"), QLatin1String(id)};
}

} // namespace

using Rows = QList<QStringList>;
using Counters = QMap<QString, QString>;
Q_DECLARE_METATYPE(QList<RegisteredId>)

class tst_IdScan : public QObject
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

    void busModeShapesThePanel_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("busMode");
        QTest::addColumn<QString>("biCaption");
        QTest::addColumn<QString>("boCaption");
        QTest::newRow("Q3/Q4") << 1 << 0 << 0 << "Bit IN"
                               << "Bit OUT";
        QTest::newRow("Q2") << 0 << 1 << 1 << "IN"
                            << "OUT";
        QTest::newRow("2 from the settings file is Q3/Q4") << 1 << 2 << 0 << "Bit IN"
                                                           << "Bit OUT";
        QTest::newRow("negative value is Q3/Q4") << 1 << -1 << 0 << "Bit IN"
                                                 << "Bit OUT";
    }
    void busModeShapesThePanel()
    {
        QFETCH(int, from);
        QFETCH(int, mode);
        QFETCH(int, busMode);
        QFETCH(QString, biCaption);
        QFETCH(QString, boCaption);

        Rig rig;
        rig.client.show();
        rig.scan->SetBusMode(from);
        rig.scan->SetBusMode(mode);

        const bool q2 = busMode == 1;
        QCOMPARE(rig.scan->BusMode(), busMode);
        QCOMPARE(rig.client.findChild<QRadioButton *>("RadioButtonQ2")->isChecked(), q2);
        QCOMPARE(rig.client.findChild<QRadioButton *>("RadioButtonQ4")->isChecked(), !q2);
        QCOMPARE(rig.client.findChild<QLabel *>("BILabel")->text(), biCaption);
        QCOMPARE(rig.client.findChild<QLabel *>("BOLabel")->text(), boCaption);
        for (const char *name : {"WILabel", "WOLabel", "LMLabel", "UWLabel"})
            QCOMPARE(rig.client.findChild<QLabel *>(name)->isEnabled(), !q2);
        for (const char *name : {"WICnt", "WOCnt", "LumoCnt", "UWCnt"})
            QCOMPARE(rig.client.findChild<QLineEdit *>(name)->isVisible(), !q2);
        for (const char *name : {"BICnt", "BOCnt", "TotalCnt"})
            QVERIFY(rig.client.findChild<QLineEdit *>(name)->isVisible());
    }

    void radioButtonsChooseTheMode()
    {
        Rig rig;
        rig.client.findChild<QRadioButton *>("RadioButtonQ2")->click();
        QCOMPARE(rig.scan->BusMode(), 1);
        QCOMPARE(rig.client.findChild<QLabel *>("BILabel")->text(), QString("IN"));
        rig.client.findChild<QRadioButton *>("RadioButtonQ4")->click();
        QCOMPARE(rig.scan->BusMode(), 0);
        QCOMPARE(rig.client.findChild<QLabel *>("BOLabel")->text(), QString("Bit OUT"));
    }
};

QTEST_MAIN(tst_IdScan)
#include "tst_idscan.moc"
