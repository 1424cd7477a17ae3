// What a screen reader is told: the buttons' names and the unit's changes of state.
#include "link/Frames.h"
#include "tests/ui/FormFixture.h"
#include "ui/DisplayFreshness.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QTest>

class tst_Form1ScreenReader : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void everyButtonHasANameForScreenReaders()
    {
        TForm1 form(m_forms.options("[QXMODE]\r\nCommentOn=1\r\nCommentEdit=1\r\n"));
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
        TForm1 form(m_forms.options());
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
};

QTEST_MAIN(tst_Form1ScreenReader)
#include "tst_form1screenreader.moc"
