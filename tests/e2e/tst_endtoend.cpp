#include "comm/CommX.h"
#include "tests/e2e/UnitProcess.h"
#include "tools/IdScan.h"
#include "ui/BitPanel.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
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
        o.settingsPath = m_dir.filePath("qxwatch.ini");
        QFile ini(o.settingsPath);
        if (!ini.open(QIODevice::WriteOnly))
            qFatal("cannot write settings");
        ini.write(QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(link).toLocal8Bit());
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

    void idScanListsTheScenariosIds()
    {
        UnitProcess unit(m_dir.filePath("scan.tty"));
        QVERIFY(unit.start());
        TForm1 form(options(unit.link()));
        form.show();
        form.portControl().OpenButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);

        form.idScan().btnIDScanClick();
        auto *grid = form.findChild<QTableWidget *>("IDStringGrid");
        QVERIFY(grid);
        QStringList ids;
        for (int r = 0; r < grid->rowCount(); ++r) {
            if (QTableWidgetItem *item = grid->item(r, 0); item && !item->text().isEmpty())
                ids << item->text();
        }
        const QStringList expected{"000", "010", "0FF", "105", "1FF", "200", "204", "2FF", "310",
                                   "400", "410", "600", "620", "6FF", "800", "8C0", "905"};
        QCOMPARE(ids, expected);
        form.portControl().CloseButtonClick();
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
