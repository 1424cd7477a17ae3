#include "link/Frames.h"
#include "tests/ui/FormFixture.h"
#include "ui/PortControl.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace
{

QList<int> lines(const QSignalSpy &spy)
{
    QList<int> out;
    for (const QList<QVariant> &args : spy)
        out.append(args.at(0).toInt());
    return out;
}

} // namespace

// The display lines as the other areas see them: the texts of their elements, and a signal for
// each line whose texts changed.
class tst_DisplayLines : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void textsAreTheElementsTexts()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        const DisplayLineTexts &texts = form.displayLines();
        QCOMPARE(texts.kind(0), QString("--"));
        QCOMPARE(texts.addr(3), QString("000"));
        QCOMPARE(texts.data(3), QString("0000"));

        receive(form, port, frame('r', 2, true, '2', "016", "8001"));
        QCOMPARE(texts.kind(2), QString("OUT"));
        QCOMPARE(texts.addr(2), QString("016"));
        QCOMPARE(texts.data(2), QString("8001"));
        QCOMPARE(texts.CurLine(), 2);

        // Whatever an element shows is what the readers get.
        form.findChild<QLabel *>("Data2")->setText("ABCD");
        QCOMPARE(texts.data(1), QString("ABCD"));
        QCOMPARE(texts.kind(4), QString());
        QCOMPARE(texts.addr(-1), QString());
    }

    void lineChangedFollowsEveryChangedLine_data()
    {
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QList<int>>("changed");
        const QByteArray out3 = frame('r', 2, false, '2', "016", "8001");
        QTest::newRow("first frame of line 3") << QList<QByteArray>{out3} << QList<int>{2};
        QTest::newRow("the same frame again") << QList<QByteArray>{out3, out3} << QList<int>{2};
        QTest::newRow("two lines")
            << QList<QByteArray>{frame('r', 0, false, '1', "000", "0001"), out3}
            << QList<int>{0, 2};
        QTest::newRow("only the data changes")
            << QList<QByteArray>{out3, frame('r', 2, false, '2', "016", "8002")}
            << QList<int>{2, 2};
        QTest::newRow("only the address changes")
            << QList<QByteArray>{out3, frame('r', 2, false, '2', "032", "8001")}
            << QList<int>{2, 2};
        QTest::newRow("only the kind changes")
            << QList<QByteArray>{out3, frame('r', 2, false, '1', "016", "8001")}
            << QList<int>{2, 2};
        QTest::newRow("only the cursor flag changes")
            << QList<QByteArray>{out3, frame('r', 2, true, '2', "016", "8001")} << QList<int>{2};
        QTest::newRow("only the unit's state changes")
            << QList<QByteArray>{out3, frame('p', 2, false, '2', "016", "8001")} << QList<int>{2};
        QByteArray damaged = frame('r', 1, false, '2', "016", "8001");
        damaged[12] = damaged[12] == '0' ? '1' : '0';
        QTest::newRow("a damaged frame changes nothing")
            << QList<QByteArray>{damaged} << QList<int>{};
    }
    void lineChangedFollowsEveryChangedLine()
    {
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QList<int>, changed);
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        QSignalSpy spy(&form.displayLines(), &DisplayLineTexts::lineChanged);
        for (const QByteArray &f : frames)
            receive(form, port, f);
        QCOMPARE(lines(spy), changed);
    }

    // A listener sees the frame handled in full: the line's texts and the cursor line set.
    void lineChangedComesAfterTheLineIsDrawn()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        QString seen;
        connect(&form.displayLines(), &DisplayLineTexts::lineChanged, this, [&](int line) {
            seen = form.displayLines().kind(line) + form.displayLines().data(line) +
                   QString::number(form.displayLines().CurLine());
        });
        receive(form, port, frame('r', 1, true, '1', "016", "00FF"));
        QCOMPARE(seen, QString("IN00FF1"));
    }

    void disconnectChangesTheLinesThatShowedAKind()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        receive(form, port, frame('r', 0, false, '1', "000", "0001"));
        receive(form, port, frame('r', 2, false, '2', "016", "8001"));
        QSignalSpy spy(&form.displayLines(), &DisplayLineTexts::lineChanged);
        form.portControl().CloseButtonClick();
        QCOMPARE(lines(spy), (QList<int>{0, 2}));
    }
};

QTEST_MAIN(tst_DisplayLines)
#include "tst_displaylines.moc"
