#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifndef QXWATCH_PATH
#error "QXWATCH_PATH names the qxwatch program under test"
#endif

namespace
{

constexpr int kFinishMs = 20000;

struct Run {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program; platform "none" exists nowhere, so a window would end it with an abort.
Run run(const QStringList &arguments, const QString &platform = QStringLiteral("none"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QXWATCH_PATH), arguments);
    Run r;
    r.finished = p.waitForFinished(kFinishMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class tst_QxwatchProgram : public QObject
{
    Q_OBJECT

private slots:
    void answersWithoutAWindowOrADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("outStart");
        QTest::newRow("--help") << QStringList{"--help"}
                                << QByteArray("Usage: qxwatch [options] [comment-file]\n");
        QTest::newRow("-h beside the toolkit's own option")
            << QStringList{"-platform", "xcb", "-h"}
            << QByteArray("Usage: qxwatch [options] [comment-file]\n");
        QTest::newRow("--version")
            << QStringList{"--version"} << QByteArray("qxwatch " QX_VERSION "\n");
        QTest::newRow("-v") << QStringList{"-v"} << QByteArray("qxwatch " QX_VERSION "\n");
    }
    void answersWithoutAWindowOrADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, outStart);
        const Run r = run(arguments);
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith(outStart), r.out.constData());
        QCOMPARE(r.err, QByteArray());
    }

    void helpIsWhatTheManualPageIsMadeOf()
    {
        const Run r = run({"--help"});
        // The manual page generator reads these: options with their texts, the argument, and
        // the notes on files after them.
        // The column of texts is as wide as the longest option needs.
        const QString out = QString::fromLocal8Bit(r.out);
        QVERIFY(out.contains(QRegularExpression("\n  -h, --help +Print this help and exit.\n")));
        QVERIFY(
            out.contains(QRegularExpression("\n  -v, --version +Print the version and exit.\n")));
        QVERIFY(out.contains(
            QRegularExpression("\n  comment-file +A comment file \\(CSV, Shift-JIS\\)")));
        QVERIFY(
            out.contains(QRegularExpression("\n  --export-csv <recording> +Write the display")));
        QVERIFY(r.out.contains("~/.config/qxwatch/qxwatch.ini"));
        QVERIFY(r.out.endsWith('\n'));
    }

    void usageErrorIsAnsweredWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown language") << QStringList{"--lang", "xx"} << QByteArray("qxwatch: ");
        QTest::newRow("no value after --lang")
            << QStringList{"--lang"} << QByteArray("qxwatch: Missing value after '--lang'.");
        QTest::newRow("unknown option")
            << QStringList{"--colour"} << QByteArray("qxwatch: Unknown option 'colour'.");
        QTest::newRow("wrong port")
            << QStringList{"--port", "COM99=/dev/null"} << QByteArray("qxwatch: ");
    }
    void usageErrorIsAnsweredWithoutADisplay()
    {
        // No display and no platform to be had: the toolkit would end the program with an
        // abort before a word about the mistake.
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        const Run r = run(arguments);
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.startsWith(message), r.err.constData());
        QVERIFY2(!r.err.contains("platform plugin"), r.err.constData());
    }

    void wrongOptionIsAnErrorBeforeAnyWindow()
    {
        const Run r = run({"-x.csv"}, QStringLiteral("offscreen"));
        QVERIFY2(r.finished, "a window opened");
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.contains("qxwatch: Unknown option 'x.csv'.\n"), r.err.constData());
        QVERIFY2(r.err.contains("qxwatch -- -x.csv"), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(tst_QxwatchProgram)
#include "tst_qxwatchprogram.moc"
