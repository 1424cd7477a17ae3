#include "link/Frames.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"
#include "tests/support/FakePort.h"
#include "ui/ControlTable.h"
#include "ui/DisplayLines.h"
#include "ui/TForm1.h"

#include <QActionGroup>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
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

    void indicatorRepaintsAtMostTenTimesASecond()
    {
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        QWidget *indicator = form.findChild<QWidget *>("RecIndicator");
        int changes = 0;
        bool lastHidden = indicator->isHidden();
        QElapsedTimer clock;
        clock.start();
        const QByteArray frame = "*rt100000012C";
        while (clock.elapsed() < 500) {
            port.feed(frame);
            form.displayLines().RecPkt(nullptr, int(frame.size()));
            QCoreApplication::processEvents();
            if (indicator->isHidden() != lastHidden) {
                lastHidden = indicator->isHidden();
                ++changes;
            }
        }
        QVERIFY2(changes >= 2 && changes <= 7, qPrintable(QString::number(changes)));
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
