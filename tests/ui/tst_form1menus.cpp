// The menus that open only once a port is chosen, and the About box.
#include "tests/ui/FormFixture.h"
#include "ui/PortControl.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

class tst_Form1Menus : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void modeAndMoveMenusOpenOnceAPortIsChosen()
    {
        TForm1 form(m_forms.options());
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

    void aboutBoxIsModelessAndReusable()
    {
        TForm1 form(m_forms.options());
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

QTEST_MAIN(tst_Form1Menus)
#include "tst_form1menus.moc"
