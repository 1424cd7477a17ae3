// The window's elements and their places: the control table, the display lines in data and bit
// mode, the status bar beside the keys.
#include "link/Frames.h"
#include "tests/ui/FormFixture.h"
#include "ui/ControlTable.h"

#include <QLabel>
#include <QTest>

class tst_Form1Layout : public QObject
{
    Q_OBJECT

    FormFixture m_forms;
    std::unique_ptr<TForm1> m_tableForm;

private slots:
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
            m_tableForm = std::make_unique<TForm1>(m_forms.options());
        QWidget *element = m_tableForm->context().ControlTable.at(slot);
        QCOMPARE(element ? element->objectName() : QString(), name);
    }

    void dataModeFrameSetsStateAndLine()
    {
        TForm1 form(m_forms.options());
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

    void bitModeFrameSwitchesLayout()
    {
        TForm1 form(m_forms.options("[QXMODE]\nCommentOn=1\n"));
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
        TForm1 form(m_forms.options());
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

    void statusBarLeavesTheBottomKeysWhole()
    {
        TForm1 form(m_forms.options());
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
};

QTEST_MAIN(tst_Form1Layout)
#include "tst_form1layout.moc"
