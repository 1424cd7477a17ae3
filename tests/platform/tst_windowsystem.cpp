#include "platform/widgets/WindowSystem.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <algorithm>

// The toolkit's own dialogs speak the program's language.
class tst_WindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void toolkitDialogsAreJapanese()
    {
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Look in:"));
        QVERIFY2(WindowSystem::installToolkitTranslation(),
                 "qtbase_ja.qm missing: install qt6-translations-l10n (scripts/setup run)");
        for (const char *english :
             {"Look in:", "Files of type:", "%1 already exists.\nDo you want to replace it?"}) {
            const QString japanese = QCoreApplication::translate("QFileDialog", english);
            QVERIFY2(japanese != QLatin1String(english), english);
            QVERIFY2(std::any_of(japanese.begin(), japanese.end(),
                                 [](QChar c) { return c.unicode() >= 0x3000; }),
                     qPrintable(japanese));
        }
        // A file dialog built by the toolkit shows them.
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        bool found = false;
        for (const QLabel *label : dialog.findChildren<QLabel *>())
            found =
                found || label->text() == QCoreApplication::translate("QFileDialog", "Look in:");
        QVERIFY(found);
    }
};

QTEST_MAIN(tst_WindowSystem)
#include "tst_windowsystem.moc"
