#include "comm/CommX.h"
#include "tests/e2e/UnitProcess.h"
#include "tests/support/PtyPair.h"
#include "tools/IdScan.h"
#include "ui/BitPanel.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace
{

constexpr int kWait = 5000; // ms: the unit refreshes its lines every 200 ms

QString text(QWidget &form, const QString &name)
{
    auto *label = form.findChild<QLabel *>(name);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

QAbstractButton *button(QWidget &form, const char *name)
{
    return form.findChild<QAbstractButton *>(name);
}

// The colour at the centre of a lamp as it is drawn on the screen.
QColor lampColour(QWidget &form, int k)
{
    QWidget *lamp = form.findChild<QWidget *>(QStringLiteral("Image%1").arg(k));
    return lamp->grab().toImage().pixelColor(8, 8);
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    TForm1::Options options(const QString &link)
    {
        TForm1::Options o;
        o.settingsPath =
            writeSettingsFile(m_dir.filePath("qxwatch.ini"),
                              QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(link).toLocal8Bit());
        return o;
    }

private slots:
    void keysReachTheUnitAndItsDisplayComesBack()
    {
        UnitProcess unit(m_dir.filePath("unit.tty"));
        QVERIFY(unit.start());
        TForm1 form(options(unit.link()));
        form.show();
        QTest::mouseClick(button(form, "OpenButton"), Qt::LeftButton);
        QVERIFY(form.CommX1().isOpen());
        QVERIFY(!button(form, "OpenButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);

        // IN: an IN line whose lamps are green, on or off.
        QTest::mouseClick(button(form, "btnIN"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "IO1"), QString("IN"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(lampColour(form, 0) == QColor(0, 255, 0) ||
                                     lampColour(form, 0) == QColor(0, 128, 0),
                                 kWait);
        for (int k = 1; k < 16; ++k) {
            const QColor c = lampColour(form, k);
            QVERIFY2(c == QColor(0, 255, 0) || c == QColor(0, 128, 0), qPrintable(c.name()));
        }

        // ENABLE: the debug state, on yellow.
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "Status"), QStringLiteral("モニター"), kWait);
        QTest::mouseClick(button(form, "btnENB"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "Status"), QStringLiteral("デバッグ"), kWait);
        QCOMPARE(form.findChild<QLabel *>("Status")->palette().color(QPalette::Window),
                 QColor(255, 255, 0));

        // MODE: the bit-mode caption and layout, with the cursor.
        QTest::mouseClick(button(form, "btnMODE"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(), QStringLiteral("QXモニター[ビットモード]"),
                                  kWait);
        QTRY_VERIFY_WITH_TIMEOUT(form.findChild<QWidget *>("BitCursor")->isVisible(), kWait);
        QVERIFY(form.findChild<QWidget *>("PageControl1")->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "Addr1"), QString("000"), kWait);

        // A lamp click walks the unit's cursor to that lamp's bit: lamp 37 shows bit 42.
        QWidget *lamp = form.findChild<QWidget *>("Image37");
        QTest::mouseClick(lamp, Qt::LeftButton, {}, QPoint(8, 8));
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "Addr1"), QString("042"), kWait);
        QVERIFY(!form.bitPanel().isMoving());
        QWidget *cursor = form.findChild<QWidget *>("BitCursor");
        QTRY_COMPARE_WITH_TIMEOUT(cursor->pos(), lamp->pos(), kWait);

        QTest::mouseClick(button(form, "CloseButton"), Qt::LeftButton);
        QVERIFY(!form.CommX1().isOpen());
        QCOMPARE(text(form, "IO1"), QString("--"));
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM1]"));
    }

    void lostDeviceDisconnectsOnceAndReconnects()
    {
        UnitProcess unit(m_dir.filePath("lost.tty"));
        QVERIFY(unit.start());
        TForm1 form(options(unit.link()));
        form.show();
        form.portControl().OpenButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);

        unit.stop(); // the unit goes away: its pty hangs up
        QTRY_VERIFY_WITH_TIMEOUT(!form.CommX1().isOpen(), kWait);
        QVERIFY(button(form, "OpenButton")->isEnabled());
        QVERIFY(!button(form, "CloseButton")->isEnabled());
        QCOMPARE(text(form, "IO1"), QString("--"));
        // The message names the device the port was opened on (the link the settings name).
        QVERIFY2(form.context().statusBar->currentMessage().contains(unit.link()),
                 qPrintable(form.context().statusBar->currentMessage()));

        QVERIFY(unit.start());
        form.portControl().OpenButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);
        form.portControl().CloseButtonClick();
    }

    void idScanListsTheScenariosIdsInBothBusModes()
    {
        UnitProcess unit(m_dir.filePath("scan.tty"));
        QVERIFY(unit.start());
        TForm1 form(options(unit.link()));
        form.show();
        form.portControl().OpenButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);
        auto *grid = form.findChild<QTableWidget *>("IDStringGrid");
        QVERIFY(grid);
        auto rows = [grid] {
            QStringList out;
            for (int r = 0; r < grid->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < 4; ++c)
                    cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
                if (!cells.first().isEmpty())
                    out << cells.join(' ');
            }
            return out;
        };
        auto counter = [&form](const char *name) {
            return form.findChild<QLineEdit *>(name)->text();
        };

        form.idScan().btnIDScanClick();
        const QStringList q4 = rows();
        QCOMPARE(q4.size(), 17);
        QCOMPARE(q4.first(), QString("000 WO 0 OK"));
        QVERIFY(q4.contains("0FF WO 255 OK"));
        QVERIFY(q4.contains("105  261 OK")); // no type for 1 in Q3/Q4
        QVERIFY(q4.contains("620 BI 32 ERR"));
        QVERIFY(q4.contains("6FF BI 255 OK"));
        QVERIFY(q4.contains("8C0 UW 192 OK"));
        QCOMPARE(q4.last(), QString("905 LM 5 OK"));
        QCOMPARE(counter("WOCnt"), QString("3"));
        QCOMPARE(counter("WICnt"), QString("3"));
        QCOMPARE(counter("BOCnt"), QString("2"));
        QCOMPARE(counter("BICnt"), QString("3"));
        QCOMPARE(counter("UWCnt"), QString("2"));
        QCOMPARE(counter("LumoCnt"), QString("1"));
        QCOMPARE(counter("TotalCnt"), QString("14"));

        // Q2: leave the ID list first, or the scan sees it finished and does nothing.
        form.idScan().SetBusMode(1);
        form.context().link.SendKey("01");
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "IO1"), QString("IN"), kWait);
        form.idScan().btnIDScanClick();
        const QStringList q2 = rows();
        QCOMPARE(q2.size(), 17);
        QVERIFY(q2.contains("1FF OUT 511 OK"));
        QVERIFY(q2.contains("310 IN 272 OK"));
        QVERIFY(q2.contains("620  32 ERR"));
        QCOMPARE(counter("BOCnt"), QString("5"));
        QCOMPARE(counter("BICnt"), QString("4"));
        QCOMPARE(counter("TotalCnt"), QString("9"));
        form.portControl().CloseButtonClick();
    }

    void channelMonitorFillsAllEightChannels()
    {
        UnitProcess unit(m_dir.filePath("eight.tty"));
        QVERIFY(unit.start());
        TForm1 form(options(unit.link()));
        form.show();
        form.portControl().OpenButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);
        // The unit lists its bit rows first and its words after them: page on until an
        // eight-channel word is on one of the lines.
        form.context().link.SendKey("01");
        auto wordShown = [&form] {
            for (int n = 1; n <= 4; ++n) {
                if (text(form, QStringLiteral("Addr%1").arg(n)) == "W04")
                    return true;
            }
            return false;
        };
        for (int page = 0; page < 10 && !wordShown(); ++page) {
            const QString before = text(form, "Addr1");
            form.context().link.SendKey("24");
            QTRY_VERIFY_WITH_TIMEOUT(text(form, "Addr1") != before, kWait);
        }
        QVERIFY(wordShown());
        auto filled = [&form] {
            int count = 0;
            for (int n = 3; n <= 34; ++n) {
                const QString cell = text(form, QStringLiteral("StaticText%1").arg(n));
                if (!cell.isEmpty() && !cell.contains('*'))
                    ++count;
            }
            return count;
        };
        // One column holds the unit's eight channels once each has come round.
        QTRY_VERIFY_WITH_TIMEOUT(filled() >= 8, 4 * kWait);
        form.portControl().CloseButtonClick();
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
