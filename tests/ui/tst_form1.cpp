#include "link/Frames.h"
#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/SjisText.h"
#include "tests/support/FakePort.h"
#include "ui/ControlTable.h"
#include "ui/DisplayFreshness.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <memory>

namespace
{

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(data);
}

QString text(TForm1 &form, const char *name)
{
    if (auto *label = form.findChild<QLabel *>(name))
        return label->text();
    if (auto *edit = form.findChild<QLineEdit *>(name))
        return edit->text();
    return QStringLiteral("<missing %1>").arg(name);
}

QAction *action(TForm1 &form, const char *name)
{
    return form.findChild<QAction *>(name);
}

QString checkedPortItem(TForm1 &form)
{
    for (int n = 1; n <= 16; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n, 2, 10, QLatin1Char('0')) + '1';
        if (QAction *a = form.findChild<QAction *>(name); a && a->isChecked())
            return name;
    }
    return QString();
}

} // namespace

class tst_Form1 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_count = 0;
    std::unique_ptr<TForm1> m_tableForm;

    TForm1::Options options(const QByteArray &ini = QByteArray())
    {
        TForm1::Options o;
        o.settingsPath = m_dir.filePath(QStringLiteral("s%1.ini").arg(++m_count));
        if (!ini.isNull())
            writeFile(o.settingsPath, ini);
        return o;
    }

    static void receive(TForm1 &form, FakePort &port, const QByteArray &bytes)
    {
        port.feed(bytes);
        form.displayLines().RecPkt(nullptr, int(bytes.size()));
    }

private slots:
    void startsWithDefaultsAndWritesThemOnExit()
    {
        const TForm1::Options o = options();
        {
            TForm1 form(o);
            QCOMPARE(form.pos(), QPoint(10, 50));
            QCOMPARE(checkedPortItem(form), QString("COM011"));
            QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM1]"));
            QCOMPARE(form.outerSize(), QSize(694, 332));
            QCOMPARE(form.context().BitOrder, QString("R"));
            QCOMPARE(form.context().statusBar->currentMessage(),
                     QStringLiteral("最初にシリアルポートを指定してください"));
            for (int n = 1; n <= 4; ++n) {
                QCOMPARE(text(form, qPrintable(QStringLiteral("IO%1").arg(n))), QString("--"));
                QCOMPARE(text(form, qPrintable(QStringLiteral("Addr%1").arg(n))), QString("000"));
                QCOMPARE(text(form, qPrintable(QStringLiteral("Data%1").arg(n))), QString("0000"));
            }
            QVERIFY(action(form, "New1")->isEnabled());
            QVERIFY(!action(form, "Save1")->isEnabled());
            QVERIFY(!action(form, "SaveAs1")->isEnabled());
            QVERIFY(!action(form, "MenuFileDisconnect")->isEnabled());
            QVERIFY(!action(form, "MenuMode")->isEnabled());
            QVERIFY(!action(form, "GoTo1")->isEnabled());
            QVERIFY(action(form, "P1")->isEnabled());
            QCOMPARE(form.context().ControlTable.size(), 304);
            QCOMPARE(form.context().ControlTable[4]->objectName(), QString("IO1"));
            QCOMPARE(form.context().ControlTable[15]->objectName(), QString("Data4"));
            QVERIFY(form.findChild<QWidget *>("RecIndicator")->isHidden());
            QVERIFY(!QFile::exists(o.settingsPath)); // nothing is written until the end
        }
        QCOMPARE(readFile(o.settingsPath),
                 QByteArray("[WINDOW]\r\nTop=50\r\nLeft=10\r\n[COM]\r\nPort=1\r\n[BITORDER]\r\n"
                            "LSB=R\r\n[QXMODE]\r\nMode=0\r\nCommentOn=0\r\nCommentEdit=0\r\n"));
    }

    void controlTableSlotsNameTheirElements_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("name");
        const std::pair<int, const char *> entries[] = {
            {0, "Edit1"},       {3, "Edit4"},        {4, "IO1"},      {7, "IO4"},
            {8, "Addr1"},       {11, "Addr4"},       {12, "Data1"},   {15, "Data4"},
            {16, "btn0"},       {31, "btn15"},       {32, "Image0"},  {95, "Image63"},
            {96, "Image64"},    {159, "Image127"},   {160, "Label2"}, {175, "Label17"},
            {176, "CmntEdit0"}, {239, "CmntEdit63"}, {240, "Lab0"},   {303, "Lab63"},
        };
        for (const auto &[slot, name] : entries)
            QTest::newRow(name) << slot << QString::fromLatin1(name);
        QTest::newRow("past the table") << 304 << QString();
        QTest::newRow("before the table") << -1 << QString();
    }
    void controlTableSlotsNameTheirElements()
    {
        QFETCH(int, slot);
        QFETCH(QString, name);
        QCOMPARE(ControlTable::nameOf(slot), name);
        // One window for all rows: its start-up filled the table once.
        if (!m_tableForm)
            m_tableForm = std::make_unique<TForm1>(options());
        QWidget *element = m_tableForm->context().ControlTable.at(slot);
        QCOMPARE(element ? element->objectName() : QString(), name);
    }

    void appliesSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QString>("order");
        QTest::newRow("port 7") << QByteArray("[COM]\nPort=7\n") << "COM071"
                                << QStringLiteral("QXモニター[COM7]") << QSize(694, 332) << "R";
        QTest::newRow("port 16") << QByteArray("[com]\nport=16\n") << "COM161"
                                 << QStringLiteral("QXモニター[COM16]") << QSize(694, 332) << "R";
        QTest::newRow("port outside 1..16 checks no item")
            << QByteArray("[COM]\nPort=20\n") << "" << QStringLiteral("QXモニター[COM20]")
            << QSize(694, 332) << "R";
        QTest::newRow("non-integer port is the default")
            << QByteArray("[COM]\nPort=two\n") << "COM011" << QStringLiteral("QXモニター[COM1]")
            << QSize(694, 332) << "R";
        QTest::newRow("L order") << QByteArray("[BITORDER]\nLSB=L\n") << "COM011"
                                 << QStringLiteral("QXモニター[COM1]") << QSize(694, 332) << "L";
        QTest::newRow("unknown order is R")
            << QByteArray("[BITORDER]\nLSB=x\n") << "COM011" << QStringLiteral("QXモニター[COM1]")
            << QSize(694, 332) << "R";
        QTest::newRow("panels on") << QByteArray("[QXMODE]\nCommentOn=1\n") << "COM011"
                                   << QStringLiteral("QXモニター[COM1]") << QSize(694, 722) << "R";
        QTest::newRow("editor on, panels off")
            << QByteArray("[QXMODE]\nCommentOn=0\nCommentEdit=1\n") << "COM011"
            << QStringLiteral("QXモニター[COM1]") << QSize(920, 332) << "R";
        QTest::newRow("both on") << QByteArray("[QXMODE]\nCommentOn=1\nCommentEdit=1\n") << "COM011"
                                 << QStringLiteral("QXモニター[COM1]") << QSize(920, 722) << "R";
        QTest::newRow("flag 257 keeps its low byte: on")
            << QByteArray("[QXMODE]\nCommentOn=257\n") << "COM011"
            << QStringLiteral("QXモニター[COM1]") << QSize(694, 722) << "R";
    }
    void appliesSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, item);
        QFETCH(QString, title);
        QFETCH(QSize, outer);
        QFETCH(QString, order);
        TForm1 form(options(ini));
        QCOMPARE(checkedPortItem(form), item);
        QCOMPARE(form.windowTitle(), title);
        QCOMPARE(form.outerSize(), outer);
        QCOMPARE(form.context().BitOrder, order);
    }

    void keepsForeignKeysAndWritesMovedPosition()
    {
        const TForm1::Options o =
            options("; notes\r\n[WINDOW]\r\nTop=5\r\nLeft=6\r\nWidth=99\r\n[MINE]\r\nx=y\r\n"
                    "[BITORDER]\r\nLSB=L\r\n");
        {
            TForm1 form(o);
            form.move(123, 77);
        }
        const QByteArray after = readFile(o.settingsPath);
        QVERIFY(after.startsWith("; notes\r\n[WINDOW]\r\nTop=77\r\nLeft=123\r\nWidth=99\r\n"
                                 "[MINE]\r\nx=y\r\n[BITORDER]\r\nLSB=L\r\n"));
        QVERIFY(after.contains("[QXMODE]\r\nMode=0\r\nCommentOn=0\r\nCommentEdit=0\r\n"));
    }

    void failedSettingsWriteIsReportedAndStopsAtTheKey()
    {
        TForm1::Options o;
        o.settingsPath = m_dir.filePath("missing-folder/qxwatch.ini");
        TForm1 form(o);
        try {
            form.SaveSettings();
            QFAIL("no error");
        } catch (const EFCreateError &e) {
            QCOMPARE(e.message(), QStringLiteral("%1 に書き込めません").arg(o.settingsPath));
        }
        // Destruction writes again and fails again: reported on standard error, not thrown.
    }

    void dataModeFrameSetsStateAndLine()
    {
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        receive(form, port, "*rt100000012C");
        QCOMPARE(text(form, "Status"), QStringLiteral("デバッグ"));
        QCOMPARE(form.findChild<QLabel *>("Status")->palette().color(QPalette::Window),
                 QColor(255, 255, 0));
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[データモード]"));
        QCOMPARE(text(form, "IO1"), QString("IN"));
        QCOMPARE(text(form, "Addr1"), QString("000"));
        QCOMPARE(text(form, "Data1"), QString("0001"));
        QCOMPARE(text(form, "Edit1"), QString("*rt100000012C"));
        QVERIFY(form.context().link.DebugMode());
        QVERIFY(!form.context().link.BitMode());
        QVERIFY(!form.findChild<QWidget *>("RecIndicator")->isHidden());
        QCOMPARE(form.findChild<QWidget *>("Panel1")->y(), 53);
        QVERIFY(!form.findChild<QWidget *>("Panel1")->isHidden());

        // Line 3, OUT, cursor: the marker follows.
        receive(form, port, Frames::displayFrame('p', 0x76, '2', "016", "8001"));
        QCOMPARE(text(form, "IO3"), QString("OUT"));
        QCOMPARE(text(form, "Status"), QStringLiteral("モニター"));
        QCOMPARE(form.findChild<QWidget *>("Panel1")->y(), 104 - 3);
        QCOMPARE(form.displayLines().CurLine(), 2);
        // A frame without the cursor flag leaves the marker.
        receive(form, port, Frames::displayFrame('p', 0x71, '9', "W01", "0000"));
        QCOMPARE(text(form, "IO2"), QString("9"));
        QCOMPARE(form.displayLines().CurLine(), 2);
    }

    void lampsFollowTheLineAndRedrawOnlyOnChange()
    {
        TForm1 form(options());
        form.show();
        FakePort port;
        form.context().link.setPort(&port);
        int refreshes = 0;
        form.displayLines().UpdateChannelMonitor = [&refreshes](int, const QString &,
                                                                const QString &) { ++refreshes; };
        auto colour = [&form](int k) {
            return form.findChild<QWidget *>(QStringLiteral("Image%1").arg(k))
                ->grab()
                .toImage()
                .pixelColor(8, 8);
        };

        // Before any IN or OUT line, on and off both use the bright green picture.
        receive(form, port, Frames::displayFrame('r', 0x70, '3', "000", "8000"));
        QCOMPARE(colour(0), QColor(0, 255, 0));
        QCOMPARE(colour(1), QColor(0, 255, 0));

        const QByteArray out = Frames::displayFrame('r', 0x76, '2', "016", "8001");
        receive(form, port, out);
        QCOMPARE(colour(32), QColor(255, 0, 0));
        QCOMPARE(colour(47), QColor(255, 0, 0));
        for (int k = 33; k <= 46; ++k)
            QCOMPARE(colour(k), QColor(128, 0, 0));
        QCOMPARE(refreshes, 2);
        // Again: the first refresh remembered the cursor line before this frame moved it.
        receive(form, port, out);
        QCOMPARE(refreshes, 3);
        // A third time: nothing changed, nothing is redrawn.
        receive(form, port, out);
        QCOMPARE(refreshes, 3);

        // An IN line turns its lamps green; the red line keeps its pictures.
        receive(form, port, Frames::displayFrame('r', 0x71, '1', "000", "0001"));
        QCOMPARE(colour(31), QColor(0, 255, 0));
        QCOMPARE(colour(16), QColor(0, 128, 0));
        QCOMPARE(colour(32), QColor(255, 0, 0));
        // Lower-case data lights nothing.
        receive(form, port, Frames::displayFrame('r', 0x71, '1', "000", "12ab"));
        QCOMPARE(colour(16 + 3), QColor(0, 255, 0));
        QCOMPARE(colour(16 + 6), QColor(0, 255, 0));
        QCOMPARE(colour(16 + 8), QColor(0, 128, 0));
        QCOMPARE(colour(16 + 15), QColor(0, 128, 0));
    }

    void bitModeFrameSwitchesLayout()
    {
        TForm1 form(options("[QXMODE]\nCommentOn=1\n"));
        FakePort port;
        form.context().link.setPort(&port);
        receive(form, port, Frames::displayFrame('t', 0x70, '1', "100", "0000"));
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[ビットモード]"));
        QCOMPARE(text(form, "Status"), QStringLiteral("モニター"));
        QVERIFY(form.context().link.BitMode());
        QVERIFY(form.findChild<QWidget *>("Panel1")->isHidden());
        QVERIFY(form.findChild<QWidget *>("IO2")->isHidden());
        QVERIFY(form.findChild<QWidget *>("PageControl1")->isHidden());
        QVERIFY(!form.findChild<QWidget *>("BitAddrTxt")->isHidden());
        // The range comes from the first line's address before this frame.
        QCOMPARE(text(form, "BitAddrTxt"), QStringLiteral("0 ～ 63"));
        receive(form, port, Frames::displayFrame('t', 0x70, '1', "100", "0000"));
        QCOMPARE(text(form, "BitAddrTxt"), QStringLiteral("64 ～ 127"));
        QCOMPARE(form.outerSize().height(), 722);

        // Back to data mode: everything returns.
        receive(form, port, Frames::displayFrame('r', 0x70, '1', "000", "0000"));
        QVERIFY(!form.findChild<QWidget *>("IO2")->isHidden());
        QVERIFY(!form.findChild<QWidget *>("PageControl1")->isHidden());
        QVERIFY(form.findChild<QWidget *>("BitAddrTxt")->isHidden());
        QVERIFY(!form.findChild<QWidget *>("Panel1")->isHidden());
    }

    void nonNumericFirstAddressInBitModeIsReportedAndTheDisplayRecovers()
    {
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        // The unit's ID list leaves a blank address; then the user switches to bit mode.
        receive(form, port, Frames::displayFrame('r', 0x74, '4', "   ", "    "));
        receive(form, port, Frames::displayFrame('v', 0x74, '1', "005", "1234"));
        QCOMPARE(form.context().statusBar->currentMessage(),
                 QStringLiteral("'   ' は整数ではありません"));
        QCOMPARE(text(form, "BitAddrTxt"), QString());
        QCOMPARE(text(form, "Addr1"), QString("005"));
        QCOMPARE(text(form, "Data1"), QString("1234"));
        // The next bit-mode frame finds a number and shows its range.
        receive(form, port, Frames::displayFrame('v', 0x74, '1', "070", "0000"));
        QCOMPARE(text(form, "BitAddrTxt"), QStringLiteral("0 ～ 63"));
    }

    void badFrameEndsTheEventAndBlinksOnce()
    {
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        const QByteArray bad = "*rt100000012c";
        const QByteArray good = "*rt100000012C";
        port.feed(bad + good);
        form.displayLines().RecPkt(nullptr, int(bad.size() + good.size()));
        QCOMPARE(text(form, "IO1"), QString("--"));
        QVERIFY(form.displayLines().indicatorOn());
        QWidget *indicator = form.findChild<QWidget *>("RecIndicator");
        QVERIFY(!indicator->isHidden()); // the first blink shows at once
        form.displayLines().RecPkt(nullptr, int(port.incoming.size()));
        QCOMPARE(text(form, "IO1"), QString("IN"));
        QVERIFY(!form.displayLines().indicatorOn());
        // The screen catches up within the indicator's period.
        QVERIFY(!indicator->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(indicator->isHidden(), 1000);
    }

    void indicatorRepaintsAtMostTenTimesASecond_data()
    {
        QTest::addColumn<QList<int>>("steps"); // simulated milliseconds between frames, cycled
        QTest::newRow("a frame every 40 ms") << QList<int>{40};
        QTest::newRow("a burst of frames") << QList<int>{0, 0, 1, 0, 2};
        QTest::newRow("uneven gaps") << QList<int>{7, 13, 41, 3, 97, 0, 55};
    }
    void indicatorRepaintsAtMostTenTimesASecond()
    {
        // The indicator's clock is simulated: frames arrive at chosen moments, and every change
        // of what the screen shows is stamped with the moment it happened.
        QFETCH(QList<int>, steps);
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        std::chrono::milliseconds now{1000};
        form.displayLines().indicatorClock = [&now] { return now; };
        QWidget *indicator = form.findChild<QWidget *>("RecIndicator");
        bool lastHidden = indicator->isHidden();
        QList<std::chrono::milliseconds> changes;
        const QByteArray frame = "*rt100000012C";
        for (int i = 0; now < std::chrono::milliseconds(3000); ++i) {
            port.feed(frame);
            form.displayLines().RecPkt(nullptr, int(frame.size()));
            if (indicator->isHidden() != lastHidden) {
                lastHidden = indicator->isHidden();
                changes << now;
            }
            now += std::chrono::milliseconds(steps.at(i % steps.size()));
        }
        QVERIFY2(changes.size() >= 2, qPrintable(QString::number(changes.size())));
        for (qsizetype k = 1; k < changes.size(); ++k)
            QVERIFY2(changes[k] - changes[k - 1] >= DisplayLines::kIndicatorPeriod,
                     qPrintable(QStringLiteral("changes at %1 and %2 ms")
                                    .arg(changes[k - 1].count())
                                    .arg(changes[k].count())));
        // A steady 40 ms beat lands on an odd frame count after each period: every catch-up
        // shows, so the indicator blinks as often as it may.
        if (steps == QList<int>{40})
            QVERIFY2(changes.size() >= 15, qPrintable(QString::number(changes.size())));
    }

    void commentFileFromTheCommandLineShowsBesideTheLamps()
    {
        TForm1::Options o = options("[QXMODE]\r\nCommentOn=1\r\n");
        const QString csv = m_dir.filePath("comments.csv");
        writeFile(csv, toSjis(QStringLiteral("BI,16,非常停止\r\nBI,17,\"運転, 準備\"\r\n"
                                             "WO,81,バルブ開\r\n")));
        o.arguments = {csv};
        TForm1 form(o);
        QVERIFY(form.findChild<QAction *>("Save1")->isEnabled());
        FakePort port;
        form.context().link.setPort(&port);
        // Line 2 shows the inputs from bit 16 on; line 4 the output word 5.
        receive(form, port, Frames::displayFrame('r', 0x71, '1', "016", "0003"));
        receive(form, port, Frames::displayFrame('r', 0x73, '2', "W05", "0002"));
        QCOMPARE(text(form, "Lab16"), QString("16"));
        QCOMPARE(text(form, "CmntEdit16"), QStringLiteral("非常停止"));
        QCOMPARE(text(form, "CmntEdit17"), QStringLiteral("運転, 準備"));
        QCOMPARE(text(form, "Lab49"), QString("5-1"));
        QCOMPARE(text(form, "CmntEdit49"), QStringLiteral("バルブ開"));
        QCOMPARE(text(form, "CmntEdit48"), QString());
    }

    void savedPositionOffTheScreensIsMovedIntoViewAndWrittenBack_data()
    {
        QTest::addColumn<QByteArray>("top");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<bool>("kept");
        QTest::newRow("in view") << QByteArray("120") << QByteArray("30") << true;
        QTest::newRow("far up and left") << QByteArray("-5000") << QByteArray("-5000") << false;
        QTest::newRow("far down and right") << QByteArray("5000") << QByteArray("5000") << false;
        QTest::newRow("caption above the screen") << QByteArray("-20") << QByteArray("10") << false;
        QTest::newRow("left edge off") << QByteArray("50") << QByteArray("-20") << false;
        QTest::newRow("largest number")
            << QByteArray("2147483647") << QByteArray("2147483647") << false;
        QTest::newRow("smallest number")
            << QByteArray("-2147483648") << QByteArray("-2147483648") << false;
    }
    void savedPositionOffTheScreensIsMovedIntoViewAndWrittenBack()
    {
        QFETCH(QByteArray, top);
        QFETCH(QByteArray, left);
        QFETCH(bool, kept);
        const TForm1::Options o = options("[WINDOW]\r\nTop=" + top + "\r\nLeft=" + left + "\r\n");
        QPoint placed;
        {
            TForm1 form(o);
            placed = form.pos();
            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            if (kept)
                QCOMPARE(placed, QPoint(left.toInt(), top.toInt()));
            QVERIFY2(area.contains(placed) && area.contains(placed + QPoint(99, 29)),
                     qPrintable(QStringLiteral("%1,%2").arg(placed.x()).arg(placed.y())));
        }
        const ProfileFile ini(o.settingsPath);
        QCOMPARE(QPoint(ini.readInt("WINDOW", "Left", -1), ini.readInt("WINDOW", "Top", -1)),
                 placed);
    }

    void modeAndMoveMenusOpenOnceAPortIsChosen()
    {
        TForm1 form(options());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *mode = form.findChild<QMenu *>("MenuMode");
        QMenuBar *bar = form.menuBar();
        // Disabled at start: the title does not open it.
        QVERIFY(!mode->menuAction()->isEnabled());
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(mode->menuAction()).center());
        QVERIFY(!QApplication::activePopupWidget());
        form.portControl().COM011Click(form.findChild<QAction *>("COM031"));
        for (const char *name : {"MenuMode", "GoTo1"}) {
            auto *menu = form.findChild<QMenu *>(name);
            QVERIFY2(menu->isEnabled() && menu->menuAction()->isEnabled(), name);
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              bar->actionGeometry(menu->menuAction()).center());
            QTRY_COMPARE(QApplication::activePopupWidget(), menu);
            menu->close();
            QTRY_VERIFY(!QApplication::activePopupWidget());
        }
    }

    void statusBarLeavesTheBottomKeysWhole()
    {
        TForm1 form(options());
        form.show();
        QWidget *client = form.findChild<QWidget *>("ClientArea");
        QCOMPARE(client->size(), QSize(685, 278));
        const QRect status = form.findChild<QWidget *>("StatusBar1")->geometry();
        QCOMPARE(status.bottom(), client->height() - 1);
        QCOMPARE(status.width(), client->width());
        for (const char *key : {"btnERR", "btn0", "btn1", "btn2", "btn3", "btnENT"}) {
            auto *w = form.findChild<QWidget *>(key);
            const QRect onClient(w->mapTo(client, QPoint(0, 0)), w->size());
            QVERIFY2(!onClient.intersects(status), key);
        }
    }

    void fixedBackgroundsAndPicturesReadOnADarkPalette()
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Button, QColor(50, 50, 50));
        dark.setColor(QPalette::ButtonText, QColor(240, 240, 240));
        const QPalette before = QApplication::palette();
        QApplication::setPalette(dark);
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        receive(form, port, Frames::displayFrame('p', 0x70, '1', "000", "0000")); // monitor
        auto *status = form.findChild<QLabel *>("Status");
        QCOMPARE(status->palette().color(QPalette::Window), QColor(0, 255, 255));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(Qt::black));
        auto *rec = form.findChild<QLabel *>("RecIndicator");
        QCOMPARE(rec->palette().color(QPalette::WindowText), QColor(Qt::black));
        const auto ink = [](QAbstractButton *b) {
            const QImage picture = b->icon().pixmap(16, 16).toImage();
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (qAlpha(picture.pixel(x, y)) == 255)
                        return QColor(picture.pixel(x, y));
            return QColor();
        };
        for (const char *key : {"btnUP", "btnDOWN", "btnLEFT", "btnRIGHT", "btnENT"}) {
            auto *b = form.findChild<QAbstractButton *>(key);
            QCOMPARE(ink(b), QColor(240, 240, 240));
        }
        // Back to a light palette while running: the pictures follow.
        QPalette light = dark;
        light.setColor(QPalette::Window, QColor(240, 240, 240));
        light.setColor(QPalette::WindowText, Qt::black);
        light.setColor(QPalette::Button, QColor(230, 230, 230));
        light.setColor(QPalette::ButtonText, QColor(10, 10, 10));
        QApplication::setPalette(light);
        auto *up = form.findChild<QAbstractButton *>("btnUP");
        QTRY_COMPARE(ink(up), QColor(10, 10, 10));
        QApplication::setPalette(before);
    }

    void everyButtonHasANameForScreenReaders()
    {
        TForm1 form(options("[QXMODE]\r\nCommentOn=1\r\nCommentEdit=1\r\n"));
        form.show();
        // Our controls (the toolkit's own inner buttons, such as a grid's corner, excepted).
        for (QAbstractButton *b : form.findChildren<QAbstractButton *>()) {
            if (!b->isVisible() || b->objectName().isEmpty())
                continue;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(b);
            QVERIFY(face);
            QVERIFY2(!face->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(b->objectName()));
        }
        const auto nameOf = [&form](const char *key) {
            return QAccessible::queryAccessibleInterface(form.findChild<QWidget *>(key))
                ->text(QAccessible::Name);
        };
        QCOMPARE(nameOf("OpenButton"), QStringLiteral("接続"));
        QCOMPARE(nameOf("CloseButton"), QStringLiteral("切断"));
        QCOMPARE(nameOf("btnENT"), QStringLiteral("ENTER"));
        QCOMPARE(nameOf("btnLEFT"), QStringLiteral("左移動"));
    }

    void unitStateChangesAreAnnounced()
    {
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        QStringList heard;
        form.displayFreshness().announce = [&heard](QObject *element) {
            heard << element->objectName() + '=' + static_cast<QLabel *>(element)->text();
        };
        receive(form, port, Frames::displayFrame('p', 0x70, '1', "000", "0000")); // monitor
        receive(form, port, Frames::displayFrame('p', 0x71, '1', "016", "0001")); // monitor
        receive(form, port, Frames::displayFrame('r', 0x70, '1', "000", "0000")); // debug
        receive(form, port, Frames::displayFrame('r', 0x72, '1', "000", "0000")); // debug
        // Once per change of the text, after the text is set.
        QCOMPARE(heard, QStringList({QStringLiteral("Status=モニター"),
                                     QStringLiteral("Status=デバッグ")}));
    }

    void quietConnectionMarksTheDisplayStaleUntilTheNextFrame()
    {
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        DisplayFreshness &freshness = form.displayFreshness();
        auto *io1 = form.findChild<QLabel *>("IO1");
        QStatusBar *bar = form.context().statusBar;
        freshness.connectionChanged(true);
        receive(form, port, Frames::displayFrame('r', 0x70, '1', "000", "0001"));
        QVERIFY(!freshness.stale());
        QCOMPARE(io1->palette().color(QPalette::WindowText), QColor(Qt::black));
        QTRY_VERIFY_WITH_TIMEOUT(freshness.stale(),
                                 2 * DisplayFreshness::kQuietTime.count() + 2000);
        QVERIFY(io1->palette().color(QPalette::WindowText) != QColor(Qt::black));
        QCOMPARE(bar->currentMessage(), DisplayFreshness::kNotice);
        QVERIFY(form.findChild<QWidget *>("RecIndicator")->isHidden());
        // The next good frame takes the mark away at once; a bad one does not.
        receive(form, port, "*rt100000012c");
        QVERIFY(freshness.stale());
        port.incoming.clear();
        receive(form, port, Frames::displayFrame('r', 0x70, '1', "000", "0002"));
        QVERIFY(!freshness.stale());
        QCOMPARE(io1->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(bar->currentMessage(), QString());
        // Disconnected, the last lines stay as they are without a mark.
        freshness.connectionChanged(false);
        QTest::qWait(int(DisplayFreshness::kQuietTime.count()) + 500);
        QVERIFY(!freshness.stale());
    }

    void aboutBoxIsModelessAndReusable()
    {
        TForm1 form(options());
        form.show();
        form.About1Click();
        QWidget *about = form.findChild<QWidget *>("AboutDlg");
        QVERIFY(about->isVisible());
        QVERIFY(!static_cast<QDialog *>(about)->isModal());
        QCOMPARE(about->size(), QSize(313, 148));
        QTest::mouseClick(about->findChild<QWidget *>("OKBtn"), Qt::LeftButton);
        QVERIFY(!about->isVisible());
        form.About1Click();
        QVERIFY(about->isVisible());
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
