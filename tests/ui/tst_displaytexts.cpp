// The texts a frame puts on the screen besides the line boxes: the bit range and the status
// bar message it may leave, and a kind byte outside ASCII.
#include "link/Frames.h"
#include "tests/ui/FormFixture.h"

#include <QTest>

class tst_DisplayTexts : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void bitRangeMessageGoesWhenTheRangeIsBack()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        QStatusBar *bar = form.context().statusBar;
        const QString notANumber = QStringLiteral("'   ' は整数ではありません");

        // The unit leaves its ID list for bit mode: the first line's address is blank.
        receive(form, port, frame('p', 0, true, '4', "   ", "0000"));
        receive(form, port, frame('t', 0, true, '1', "064", "0000"));
        QCOMPARE(text(form, "BitAddrTxt"), QString());
        QCOMPARE(bar->currentMessage(), notANumber);

        // The next bit-mode frame works the range out from "064": the message is gone.
        receive(form, port, frame('t', 0, true, '1', "064", "0000"));
        QCOMPARE(text(form, "BitAddrTxt"), QStringLiteral("64 ～ 127"));
        QCOMPARE(bar->currentMessage(), QString());

        // A message of another kind that came after it is not the range's to clear.
        receive(form, port, frame('p', 0, true, '4', "   ", "0000"));
        receive(form, port, frame('t', 0, true, '1', "000", "0000"));
        QCOMPARE(bar->currentMessage(), notANumber);
        bar->showMessage(QStringLiteral("ポートを開きました"));
        receive(form, port, frame('t', 0, true, '1', "000", "0000"));
        QCOMPARE(text(form, "BitAddrTxt"), QStringLiteral("0 ～ 63"));
        QCOMPARE(bar->currentMessage(), QStringLiteral("ポートを開きました"));
    }

    void kindByteAboveAsciiReadsAsShiftJis()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        // 0xB1 and 0xDD are the half-width katakana "ｱ" and "ﾝ", as in the address beside them.
        receive(form, port, frame('p', 1, false, char(0xB1), "\xB1\xDD ", "0000"));
        QCOMPARE(text(form, "IO2"), QStringLiteral("ｱ"));
        QCOMPARE(text(form, "Addr2"), QStringLiteral("ｱﾝ "));
        receive(form, port, frame('p', 1, false, 'Z', "016", "0000"));
        QCOMPARE(text(form, "IO2"), QStringLiteral("Z"));
    }
};

QTEST_MAIN(tst_DisplayTexts)
#include "tst_displaytexts.moc"
