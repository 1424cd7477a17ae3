#include "comments/CommentGrid.h"
#include "platform/SjisText.h"
#include "ui/CommandLine.h"
#include "ui/TForm1.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parses_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the program name
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("positional");
        QTest::addColumn<QString>("textHas");

        QTest::newRow("nothing: the window, no comment file")
            << QStringList() << Action::Run << QStringList() << QString();
        QTest::newRow("comment file")
            << QStringList{"a.csv"} << Action::Run << QStringList{"a.csv"} << QString();
        QTest::newRow("further arguments kept, the first one loads")
            << QStringList{"a.csv", "b.csv"} << Action::Run << QStringList{"a.csv", "b.csv"}
            << QString();
        QTest::newRow("-- ends options: a file named -x.csv")
            << QStringList{"--", "-x.csv"} << Action::Run << QStringList{"-x.csv"} << QString();
        QTest::newRow("-- ends options: a file named --help")
            << QStringList{"--", "--help"} << Action::Run << QStringList{"--help"} << QString();
        QTest::newRow("--help") << QStringList{"--help"} << Action::ShowHelp << QStringList()
                                << "Usage: qxwatch [options] [comment-file]\n";
        QTest::newRow("-h") << QStringList{"-h"} << Action::ShowHelp << QStringList()
                            << "\n  -v, --version  ";
        QTest::newRow("help wins over a wrong option")
            << QStringList{"--bogus", "--help"} << Action::ShowHelp << QStringList()
            << "Settings file: <program>.ini";
        QTest::newRow("--version") << QStringList{"--version"} << Action::ShowVersion
                                   << QStringList() << "qxwatch " QX_VERSION "\n";
        QTest::newRow("-v with a file") << QStringList{"-v", "a.csv"} << Action::ShowVersion
                                        << QStringList{"a.csv"} << "qxwatch " QX_VERSION "\n";
        QTest::newRow("a dash file without --: an error that shows the way")
            << QStringList{"-x.csv"} << Action::UsageError << QStringList()
            << "qxwatch: Unknown option 'x.csv'.\n(see qxwatch --help; a comment file whose "
               "name begins with '-' goes after \"--\": qxwatch -- -x.csv)\n";
        QTest::newRow("--export-csv: a recording and a CSV file, no window")
            << QStringList{"--export-csv", "r.pcap", "o.csv"} << Action::ExportCsv
            << QStringList{"o.csv"} << QString();
        QTest::newRow("--export-csv without the CSV file")
            << QStringList{"--export-csv", "r.pcap"} << Action::UsageError << QStringList()
            << "--export-csv RECORDING OUT.csv";
        QTest::newRow("unknown long option named as typed")
            << QStringList{"a.csv", "--colour=red"} << Action::UsageError << QStringList{"a.csv"}
            << "qxwatch -- --colour=red)";
    }
    void parses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, textHas);
        const CommandLine command = CommandLine::parse(QStringList{"/opt/x/qxwatch"} + arguments);
        QCOMPARE(command.action(), action);
        QTEST(command.arguments(), "positional");
        QVERIFY2(command.text().contains(textHas), qPrintable(command.text()));
        QCOMPARE(command.exitCode(), action == Action::UsageError ? 2 : 0);
        if (action == Action::Run)
            QCOMPARE(command.text(), QString());
    }

    void toolkitOptionsAreLeftForTheToolkit_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("toolkit");
        QTest::newRow("-platform") << QStringList{"-platform", "xcb"} << true;
        QTest::newRow("--style= beside a file") << QStringList{"--style=fusion", "a.csv"} << true;
        QTest::newRow("a toolkit option beside a wrong one")
            << QStringList{"--colour", "-reverse"} << true;
        QTest::newRow("only a wrong option") << QStringList{"--colour"} << false;
        QTest::newRow("a wrong language") << QStringList{"--lang", "xx"} << false;
        QTest::newRow("a missing value") << QStringList{"--port"} << false;
    }
    void toolkitOptionsAreLeftForTheToolkit()
    {
        // Before the toolkit has read the line, its options are unknown ones; only they send
        // the parse to wait for it.
        QFETCH(QStringList, arguments);
        const CommandLine command = CommandLine::parse(QStringList{"qxwatch"} + arguments);
        QCOMPARE(command.action(), Action::UsageError);
        QTEST(command.toolkitMayExplain(), "toolkit");
    }

    void takesPortsForTheRunAndConnect_data()
    {
        using PortMap = QMap<int, QString>;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<PortMap>("ports");
        QTest::addColumn<bool>("connect");
        QTest::addColumn<QStringList>("positional");
        QTest::newRow("one port, the comment file after it")
            << QStringList{"--port", "COM1=/tmp/qx.tty", "a.csv"} << PortMap{{1, "/tmp/qx.tty"}}
            << false << QStringList{"a.csv"};
        QTest::newRow("several ports, the last one for a number wins, and connect")
            << QStringList{"--port=COM2=/dev/ttyUSB0",
                           "--connect",
                           "--port",
                           "COM16=/dev/x",
                           "--port",
                           "COM2=/dev/ttyUSB1"}
            << PortMap{{2, "/dev/ttyUSB1"}, {16, "/dev/x"}} << true << QStringList();
    }
    void takesPortsForTheRunAndConnect()
    {
        QFETCH(QStringList, arguments);
        const CommandLine command = CommandLine::parse(QStringList{"qxwatch"} + arguments);
        QCOMPARE(command.action(), Action::Run);
        QTEST(command.ports(), "ports");
        QTEST(command.connectAtStart(), "connect");
        QTEST(command.arguments(), "positional");
    }

    void takesTheLanguage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("language");
        QTest::newRow("none: the environment decides") << QStringList() << Action::Run << QString();
        QTest::newRow("--lang en") << QStringList{"--lang", "en"} << Action::Run << "en";
        QTest::newRow("--lang=ja with a file")
            << QStringList{"--lang=ja", "a.csv"} << Action::Run << "ja";
        QTest::newRow("--lang de is no language of the program")
            << QStringList{"--lang", "de"} << Action::UsageError << "de";
        QTest::newRow("--lang EN: the values are lower case")
            << QStringList{"--lang", "EN"} << Action::UsageError << "EN";
        QTest::newRow("a bad --lang stops the export too")
            << QStringList{"--lang", "xx", "--export-csv", "a.pcap", "out.csv"}
            << Action::UsageError << "xx";
    }
    void takesTheLanguage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, language);
        const CommandLine command = CommandLine::parse(QStringList{"qxwatch"} + arguments);
        QCOMPARE(command.action(), action);
        QCOMPARE(command.language(), language);
        if (action == Action::UsageError)
            QVERIFY2(command.text().contains(
                         QStringLiteral("--lang wants en or ja, not '%1'").arg(language)),
                     qPrintable(command.text()));
    }

    void aPortThatCannotBeIsAnError()
    {
        const CommandLine command =
            CommandLine::parse({"qxwatch", "--port", "COM1=/dev/ttyS0", "--port", "LPT1=/dev/lp0"});
        QCOMPARE(command.action(), Action::UsageError);
        QCOMPARE(command.exitCode(), 2);
        QVERIFY2(command.text().contains("not 'LPT1=/dev/lp0'"), qPrintable(command.text()));
    }

    void helpNamesTheProgramNotThePathItWasStartedBy()
    {
        const CommandLine command =
            CommandLine::parse({QCoreApplication::arguments().value(0), QStringLiteral("--help")});
        const QString usage = command.text().section('\n', 0, 0);
        QCOMPARE(usage, QStringLiteral("Usage: qxwatch [options] [comment-file]"));
    }

    void commentFileNamedLikeAnOptionLoadsAfterDoubleDash()
    {
        QTemporaryDir dir;
        const QString oldCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile csv(QStringLiteral("-x.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(toSjis(QStringLiteral("BI,16,非常停止\r\n")));
        csv.close();

        const CommandLine command = CommandLine::parse({"qxwatch", "--", "-x.csv"});
        QCOMPARE(command.action(), Action::Run);
        TForm1::Options options;
        options.settingsPath = dir.filePath("qxwatch.ini");
        options.arguments = command.arguments();
        {
            TForm1 form(options);
            QCOMPARE(form.commentGrid().CommentFileName(), QStringLiteral("-x.csv"));
            QCOMPARE(form.commentGrid().cell(3, 1), QStringLiteral("非常停止"));
            QVERIFY(form.findChild<QAction *>("Save1")->isEnabled());
        }
        QDir::setCurrent(oldCurrent);
    }
};

QTEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
