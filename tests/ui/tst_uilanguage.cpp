// Which language the window speaks: --lang, else the user's language variables in their order
// of precedence, with no language chosen (unset, C, POSIX) keeping the program's own Japanese.
// The window made after the choice shows its Japanese texts untouched or the English ones.
#include "tests/ui/FormFixture.h"
#include "ui/UiLanguage.h"

#include <QMenuBar>
#include <QTest>
#include <QTranslator>

using Choice = UiLanguage::Choice;
Q_DECLARE_METATYPE(UiLanguage::Choice)

class tst_UiLanguage : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

    static void removeTranslators()
    {
        for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }

private slots:
    void cleanup() { removeTranslators(); }

    void choice_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("environment"); // NAME=value
        QTest::addColumn<Choice>("expected");
        const auto ja = Choice::Japanese;
        const auto en = Choice::English;
        QTest::newRow("nothing set") << QString() << QStringList() << ja;
        QTest::newRow("LANG=C") << QString() << QStringList{"LANG=C"} << ja;
        QTest::newRow("LANG=C.UTF-8") << QString() << QStringList{"LANG=C.UTF-8"} << ja;
        QTest::newRow("LC_ALL=POSIX over LANG=en_US")
            << QString() << QStringList{"LC_ALL=POSIX", "LANG=en_US.UTF-8"} << ja;
        QTest::newRow("LANG=ja_JP.UTF-8") << QString() << QStringList{"LANG=ja_JP.UTF-8"} << ja;
        QTest::newRow("LANG=ja_JP.eucJP") << QString() << QStringList{"LANG=ja_JP.eucJP"} << ja;
        QTest::newRow("LANG=en_US.UTF-8") << QString() << QStringList{"LANG=en_US.UTF-8"} << en;
        QTest::newRow("LANG=de_DE@euro") << QString() << QStringList{"LANG=de_DE@euro"} << en;
        QTest::newRow("LANG=jv (Javanese, not Japanese)")
            << QString() << QStringList{"LANG=jv_ID"} << en;
        QTest::newRow("LC_MESSAGES over LANG")
            << QString() << QStringList{"LC_MESSAGES=en_GB.UTF-8", "LANG=ja_JP.UTF-8"} << en;
        QTest::newRow("LC_ALL over LC_MESSAGES")
            << QString() << QStringList{"LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=en_GB.UTF-8"} << ja;
        QTest::newRow("LANGUAGE over LC_ALL")
            << QString() << QStringList{"LANGUAGE=en_US:ja", "LC_ALL=ja_JP.UTF-8"} << en;
        QTest::newRow("LANGUAGE's first entry")
            << QString() << QStringList{"LANGUAGE=ja:en", "LANG=en_US.UTF-8"} << ja;
        QTest::newRow("empty LANGUAGE and LC_ALL are unset")
            << QString() << QStringList{"LANGUAGE=", "LC_ALL=", "LANG=en_US.UTF-8"} << en;
        QTest::newRow("--lang en over a Japanese desktop")
            << "en" << QStringList{"LANGUAGE=ja", "LANG=ja_JP.UTF-8"} << en;
        QTest::newRow("--lang ja over an English desktop")
            << "ja" << QStringList{"LANGUAGE=en", "LANG=en_US.UTF-8"} << ja;
        QTest::newRow("--lang en with nothing set") << "en" << QStringList() << en;
    }

    void choice()
    {
        QFETCH(QString, option);
        QFETCH(QStringList, environment);
        QFETCH(Choice, expected);
        QProcessEnvironment env;
        for (const QString &entry : environment)
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        QCOMPARE(UiLanguage::choose(option, env), expected);
    }

    void foldersBesideTheProgramThenTheInstalledShare()
    {
        QCOMPARE(UiLanguage::folders(QStringLiteral("/usr/bin")),
                 QStringList({"/usr/bin/translations", "/usr/share/qxwatch/translations"}));
        QCOMPARE(UiLanguage::folders(QStringLiteral("/home/u/qxwatch/build")),
                 QStringList({"/home/u/qxwatch/build/translations",
                              "/home/u/qxwatch/share/qxwatch/translations"}));
    }

    void windowSpeaksTheChosenLanguage_data()
    {
        QTest::addColumn<Choice>("choice");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("fileMenu");
        QTest::addColumn<QString>("firstTab");
        QTest::newRow("Japanese") << Choice::Japanese << QStringLiteral("QXモニター")
                                  << QStringLiteral("ファイル(&F)") << QStringLiteral("IDスキャン");
        QTest::newRow("English") << Choice::English << QStringLiteral("QX Monitor")
                                 << QStringLiteral("&File") << QStringLiteral("ID Scan");
    }

    void windowSpeaksTheChosenLanguage()
    {
        QFETCH(Choice, choice);
        QFETCH(QString, title);
        QFETCH(QString, fileMenu);
        QFETCH(QString, firstTab);
        const bool installed = UiLanguage::install(choice, {QStringLiteral(QX_TRANSLATIONS_DIR)});
        // Japanese needs no file of ours: the toolkit's own Japanese may be missing.
        if (choice == Choice::English)
            QVERIFY(installed);
        TForm1 form(m_forms.options());
        QVERIFY2(form.windowTitle().startsWith(title), qPrintable(form.windowTitle()));
        QCOMPARE(form.menuBar()->actions().value(0)->text(), fileMenu);
        QCOMPARE(form.findChild<QTabWidget *>()->tabText(0), firstTab);
    }

    void missingTranslationKeepsJapanese()
    {
        QVERIFY(!UiLanguage::install(Choice::English, {QStringLiteral("/nonexistent")}));
        TForm1 form(m_forms.options());
        QVERIFY2(form.windowTitle().startsWith(QStringLiteral("QXモニター[")),
                 qPrintable(form.windowTitle()));
    }
};

QTEST_MAIN(tst_UiLanguage)
#include "tst_uilanguage.moc"
