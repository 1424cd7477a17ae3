#include "link/Frames.h"
#include "link/LineRecording.h"
#include "record/LineRecorder.h"
#include "record/RecordingCsv.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program with no display at all (platform "none"): a window would end it with an
// abort. Usage errors are answered once the toolkit took its own options out: offscreen.
Run run(const QString &program, const QStringList &arguments,
        const QString &platform = QStringLiteral("none"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

// qxwatch --export-csv and qxunit --replay, as a user runs them.
class tst_RecordingPrograms : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString makeRecording()
    {
        const QString path = m_dir.filePath("rec.pcap");
        LineRecorder rec;
        rec.start(path);
        qint64 t = 1'800'000'000'000'000;
        for (int i = 0; i < 100; ++i) {
            const QByteArray f = Frames::displayFrame('r', char(0x30 | (i % 4)), '2', "W01",
                                                      QByteArray::number(0x1000 + i, 16).toUpper());
            rec.received(f.constData(), f.size(), t += 20000);
        }
        rec.stop();
        return path;
    }

private slots:
    void exportsWithoutAWindow()
    {
        const QString rec = makeRecording();
        const QString csv = m_dir.filePath("out.csv");
        const Run r = run(QStringLiteral(QXWATCH_PATH), {"--export-csv", rec, csv});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("100\n"));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), RecordingCsv::text(LineRecording::load(rec)));
    }

    void exportRefusesBadInput()
    {
        const QString text = m_dir.filePath("notes.txt");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("hello\n");
        f.close();
        const QString csv = m_dir.filePath("bad.csv");
        Run r = run(QStringLiteral(QXWATCH_PATH), {"--export-csv", text, csv});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(QString::fromLocal8Bit(r.err).contains("(pcap) ではありません"),
                 r.err.constData());
        QVERIFY(!QFile::exists(csv));

        r = run(QStringLiteral(QXWATCH_PATH), {"--export-csv", text}, "offscreen");
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("--export-csv RECORDING OUT.csv"));

        r = run(QStringLiteral(QXUNIT_PATH), {"--replay", text});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(QString::fromLocal8Bit(r.err).contains("(pcap) ではありません"),
                 r.err.constData());
    }
};

QTEST_GUILESS_MAIN(tst_RecordingPrograms)
#include "tst_recordingprograms.moc"
