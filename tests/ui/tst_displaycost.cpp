// What a display frame costs the screen: a frame that repeats what is shown repaints nothing, a
// frame that changes a line repaints that line's changed lamps and boxes and nothing else; and
// the lamps, however they are drawn, stay the named, numbered, accessible elements they are.
#include "link/Frames.h"
#include "platform/widgets/ImageBox.h"
#include "tests/ui/FormFixture.h"
#include "ui/ControlTable.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QSet>
#include <QTest>

namespace
{

// Every paint event of the application's widgets, by object name.
class PaintLog : public QObject
{
public:
    struct Paint {
        QString name;
        QRect rect;
    };
    QList<Paint> paints;

    QStringList names() const
    {
        QSet<QString> set;
        for (const Paint &p : paints)
            set.insert(p.name);
        QStringList list(set.begin(), set.end());
        list.sort();
        return list;
    }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType())
            paints.append({o->objectName(), static_cast<QPaintEvent *>(e)->rect()});
        return QObject::eventFilter(o, e);
    }
};

} // namespace

class tst_DisplayCost : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

    static ImageBox *lamp(TForm1 &form, int k)
    {
        return form.findChild<ImageBox *>(QStringLiteral("Image%1").arg(k));
    }

private slots:
    void aFrameRepaintsWhatItChangedAndNothingElse()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QList<QByteArray> display = {
            frame('p', 0, true, '1', "000", "8000"),
            frame('p', 1, false, '2', "016", "00F0"),
            frame('p', 2, false, '1', "032", "1234"),
            frame('p', 3, false, '2', "048", "FFFF"),
        };
        PaintLog shown;
        form.installEventFilter(&shown);
        lamp(form, 15)->installEventFilter(&shown);
        for (const QByteArray &f : display)
            receive(form, port, f);
        QTRY_VERIFY(!shown.paints.isEmpty());
        form.removeEventFilter(&shown);
        lamp(form, 15)->removeEventFilter(&shown);
        QTest::qWait(0);

        PaintLog log;
        qApp->installEventFilter(&log);
        // The unit refreshes what is shown, twice over: nothing of it needs drawing again.
        for (int round = 0; round < 2; ++round) {
            for (const QByteArray &f : display)
                receive(form, port, f);
        }
        // Then line 1 turns bit 0 on: its lamp (lamp 15 in the default order) and its data box
        // change. The paint that shows them also shows anything the repeats left to draw.
        receive(form, port, frame('p', 0, true, '1', "000", "8001"));
        QTRY_VERIFY(log.names().contains(QStringLiteral("Image15")));
        QTest::qWait(0);
        qApp->removeEventFilter(&log);

        const QRect indicator = form.findChild<QWidget *>("RecIndicator")->geometry();
        QStringList painted;
        for (const PaintLog::Paint &p : std::as_const(log.paints)) {
            // The receive indicator blinks with the frames; the client area shows through
            // where it is hidden.
            if (p.name == QLatin1String("RecIndicator"))
                continue;
            if (p.name == QLatin1String("ClientArea") && indicator.contains(p.rect))
                continue;
            if (!painted.contains(p.name))
                painted.append(p.name);
        }
        painted.sort();
        QCOMPARE(painted, QStringList({"Data1", "Image15"}));
        // The lamp paints itself whole: the frame beneath it is not drawn for it.
        for (const PaintLog::Paint &p : std::as_const(log.paints))
            QVERIFY2(p.name != QLatin1String("Shape1"), "the lamp frame was repainted");
    }

    // The raw frame fields are never seen: hidden, they keep each line's last frame and tell
    // of every change; shown (as nothing in the window does), they show what they keep.
    void rawFramesAreKeptUnseen()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *edit = form.findChild<QLineEdit *>(QStringLiteral("Edit2"));
        QVERIFY(edit);
        QVERIFY(!edit->isVisible());
        QStringList changes;
        connect(edit, &QLineEdit::textChanged, this,
                [&changes](const QString &text) { changes << text; });

        const QByteArray first = frame('p', 1, false, '1', "016", "00F0");
        const QByteArray second = frame('p', 1, false, '1', "016", "00F1");
        receive(form, port, first);
        receive(form, port, first);
        receive(form, port, second);
        QCOMPARE(changes, QStringList({QString::fromLatin1(first), QString::fromLatin1(second)}));
        QCOMPARE(edit->text(), QString::fromLatin1(second));

        edit->show();
        QCOMPARE(edit->displayText(), QString::fromLatin1(second));
        receive(form, port, first);
        QCOMPARE(edit->displayText(), QString::fromLatin1(first));
        edit->hide();
        QCOMPARE(edit->text(), QString::fromLatin1(first));
    }

    void lampsStayNamedNumberedAndAccessible()
    {
        TForm1 form(m_forms.shared());
        FakePort port;
        form.context().link.setPort(&port);
        const ControlTable &table = form.context().ControlTable;
        for (int k = 0; k < 128; ++k) {
            auto *box = qobject_cast<ImageBox *>(table.at(ControlTable::kImage + k));
            QVERIFY2(box, qPrintable(QStringLiteral("slot of Image%1").arg(k)));
            QCOMPARE(box->objectName(), QStringLiteral("Image%1").arg(k));
        }

        receive(form, port, frame('p', 0, true, '1', "000", "8001"));
        receive(form, port, frame('p', 1, false, '2', "016", "4000"));

        const auto check = [&](int k, const QString &name, bool on, const QString &description) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(lamp(form, k));
            QVERIFY(a);
            QCOMPARE(a->role(), QAccessible::Indicator);
            QCOMPARE(a->text(QAccessible::Name), name);
            QVERIFY(a->state().checkable);
            QCOMPARE(bool(a->state().checked), on);
            QCOMPARE(a->text(QAccessible::Description), description);
        };
        // Line 1 is IN "8001": bit 15 (the first lamp) and bit 0 (lamp 15) on, green.
        check(0, QStringLiteral("ビット15 ライン1"), true, QStringLiteral("点灯 緑"));
        check(1, QStringLiteral("ビット14 ライン1"), false, QStringLiteral("消灯 緑"));
        check(15, QStringLiteral("ビット0 ライン1"), true, QStringLiteral("点灯 緑"));
        // Line 2 is OUT "4000": bit 30 (bit 14 of its word, lamp 17) on, red.
        check(16, QStringLiteral("ビット31 ライン2"), false, QStringLiteral("消灯 赤"));
        check(17, QStringLiteral("ビット30 ライン2"), true, QStringLiteral("点灯 赤"));
        // A comment panel lamp copies its main lamp: the same bit, the same state.
        check(64 + 17, QStringLiteral("ビット30 ライン2"), true, QStringLiteral("点灯 赤"));

        // The state follows the next frame; a line of another kind keeps the last colour.
        receive(form, port, frame('p', 1, false, '4', "016", "0000"));
        check(17, QStringLiteral("ビット30 ライン2"), false, QStringLiteral("消灯 赤"));
    }
};

QTEST_MAIN(tst_DisplayCost)
#include "tst_displaycost.moc"
