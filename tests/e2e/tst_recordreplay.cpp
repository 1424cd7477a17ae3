#include "comm/CommX.h"
#include "link/Frames.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "platform/widgets/ImageBox.h"
#include "record/LineRecorder.h"
#include "record/ReplayPlayer.h"
#include "tests/e2e/UnitProcess.h"
#include "tests/support/PtyPair.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/RecordControl.h"
#include "ui/ReplayBar.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace
{

constexpr int kWait = 5000;

QByteArray frame(int line, char kind, const char *addr, const char *data, bool cursor = false,
                 char headerA = 'r')
{
    return Frames::displayFrame(headerA, char(0x30 | line | (cursor ? 4 : 0)), kind, addr, data);
}

// What the window shows of the unit: the four lines, the state, the caption's mode, every lamp.
struct Shown {
    QStringList texts;
    QList<QImage> lamps;
    bool operator==(const Shown &o) const { return texts == o.texts && lamps == o.lamps; }
};

Shown shown(TForm1 &form)
{
    Shown s;
    for (const char *prefix : {"IO", "Addr", "Data"})
        for (int n = 1; n <= 4; ++n)
            s.texts << form.findChild<QLabel *>(QStringLiteral("%1%2").arg(prefix).arg(n))->text();
    s.texts << form.findChild<QLabel *>("Status")->text();
    s.texts << QString::number(form.displayLines().CurLine());
    for (int k = 0; k < 64; ++k)
        s.lamps
            << form.findChild<ImageBox *>(QStringLiteral("Image%1").arg(k))->picture().toImage();
    return s;
}

QAbstractButton *button(QWidget &form, const char *name)
{
    return form.findChild<QAbstractButton *>(name);
}

bool replayDone(TForm1 &form)
{
    ReplayPlayer *p = form.recordControl().player();
    return p && p->atEnd() && !p->isPlaying() && !p->isSeeking();
}

} // namespace

class tst_RecordReplay : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    TForm1::Options options(const QString &device, const QString &name)
    {
        TForm1::Options o;
        o.settingsPath =
            writeSettingsFile(m_dir.filePath(name + ".ini"),
                              QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(device).toLocal8Bit());
        return o;
    }

private slots:
    // A known stream recorded from a pseudo-terminal comes back byte for byte; played back in
    // another window it leaves the same lines and lamps, with the keys inactive and the title
    // saying so; a seek back and forth ends the same; the CSV's last row of each line is what
    // the window shows.
    void knownStreamRecordedAndReplayed()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        const QString path = m_dir.filePath("known.pcap");
        Shown live;
        QByteArray stream;
        {
            TForm1 a(options(pty.slavePath(), "a"));
            a.show();
            a.portControl().OpenButtonClick();
            QVERIFY(a.CommX1().isOpen());
            a.recordControl().startRecording(path);
            QVERIFY(a.findChild<QAction *>("MenuFileRecord")->isChecked());
            QTRY_VERIFY(a.findChild<QLabel *>("RecordStatus")->text().contains("記録中"));

            const QList<QByteArray> bursts = {
                frame(0, '1', "000", "0001", true) + frame(1, '1', "016", "8001"),
                QByteArray("xyz") + frame(2, '2', "W05", "8123") + frame(3, '2', "W07", "FFFF"),
                frame(2, '2', "W05", "8123") + QByteArray(13, '0') + frame(0, '1', "000", "00F0"),
                frame(1, '1', "016", "12ab", true, 'v'),
                frame(3, '2', "032", "0F0F", true, 'p'),
            };
            quint64 good = a.displayLines().goodFrames();
            for (const QByteArray &b : bursts) {
                pty.send(b);
                stream += b;
                QTRY_VERIFY_WITH_TIMEOUT(a.displayLines().goodFrames() > good, kWait);
                good = a.displayLines().goodFrames();
                QTest::qWait(5);
            }
            // The burst with the bad frame leaves its last frame for the next event.
            QTRY_COMPARE_WITH_TIMEOUT(a.displayLines().data(3), QString("0F0F"), kWait);
            a.findChild<QAction *>("IN1")->trigger();
            QCOMPARE(pty.collect(5), Frames::keyFrame("01"));
            a.recordControl().stopRecording();
            live = shown(a);
            QVERIFY(!a.findChild<QAction *>("MenuFileRecord")->isChecked());

            // Disconnecting ends a recording by itself.
            a.recordControl().startRecording(m_dir.filePath("second.pcap"));
            a.portControl().CloseButtonClick();
            QTRY_VERIFY_WITH_TIMEOUT(!a.recordControl().isRecording(), kWait);
            QVERIFY(a.findChild<QStatusBar *>("StatusBar1")->currentMessage().contains("切断"));

            // Closing the window ends a recording with everything in the file.
            a.portControl().OpenButtonClick();
            a.recordControl().startRecording(m_dir.filePath("third.pcap"));
            const quint64 before = a.displayLines().goodFrames();
            pty.send(frame(0, '1', "000", "0002"));
            QTRY_VERIFY_WITH_TIMEOUT(a.displayLines().goodFrames() > before, kWait);
        }
        const LineRecording third = LineRecording::load(m_dir.filePath("third.pcap"));
        QCOMPARE(third.received(), frame(0, '1', "000", "0002"));
        QVERIFY(third.damage().isEmpty());

        const LineRecording rec = LineRecording::load(path);
        QCOMPARE(rec.received(), stream);
        QCOMPARE(rec.sent().size(), std::size_t(1));
        QCOMPARE(rec.sent()[0].bytes, Frames::keyFrame("01"));

        TForm1 b(options(pty.slavePath(), "b"));
        b.show();
        const bool inEnabled = button(b, "btnIN")->isEnabled();
        b.recordControl().openReplay(path);
        auto *bar = qobject_cast<ReplayBar *>(b.recordControl().transportBar());
        QVERIFY(bar);
        bar->speedBox()->setCurrentIndex(2); // as fast as possible
        QTRY_VERIFY_WITH_TIMEOUT(replayDone(b), kWait);
        QVERIFY(shown(b) == live);
        QVERIFY2(b.windowTitle().startsWith("QXモニター[再生]"), qPrintable(b.windowTitle()));
        for (const char *key : {"btnIN", "btnDATA", "btnENB", "btn5", "btnUP", "OpenButton"})
            QVERIFY2(!button(b, key)->isEnabled(), key);
        QVERIFY(!b.findChild<QAction *>("MenuFileConnect")->isEnabled());
        QVERIFY(!b.findChild<QMenu *>("MenuMode")->menuAction()->isEnabled());
        QVERIFY(!b.findChild<QMenu *>("GoTo1")->menuAction()->isEnabled());
        QVERIFY(!b.findChild<QAction *>("MenuFileReplay")->isEnabled());
        QCOMPARE(bar->slider()->value(), bar->slider()->maximum());

        // Back to the middle: the display of that moment; then to the end again.
        bar->slider()->setValue(bar->slider()->maximum() / 2);
        QTRY_VERIFY_WITH_TIMEOUT(!b.recordControl().player()->isSeeking(), kWait);
        QVERIFY(b.recordControl().player()->delivered() < rec.chunks().size());
        QVERIFY(!(shown(b) == live));
        bar->slider()->setValue(bar->slider()->maximum());
        QTRY_VERIFY_WITH_TIMEOUT(replayDone(b), kWait);
        QVERIFY(shown(b) == live);

        button(*bar, "ReplayStop")->click();
        QVERIFY(!b.recordControl().player());
        QCOMPARE(b.windowTitle(), QStringLiteral("QXモニター[COM1]"));
        QCOMPARE(button(b, "btnIN")->isEnabled(), inEnabled);
        QVERIFY(button(b, "OpenButton")->isEnabled());
        QVERIFY(b.findChild<QAction *>("MenuFileConnect")->isEnabled());

        // The CSV: one row per change of a line; the last row of each line is what is shown.
        const QString csv = m_dir.filePath("known.csv");
        QCOMPARE(b.recordControl().exportCsv(path, csv), 7);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QMap<QString, QStringList> last;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList f = QString::fromUtf8(lines[i].trimmed()).split(u',');
            if (f.size() > 4)
                last[f[1]] = f;
        }
        for (int n = 0; n < 4; ++n) {
            const QStringList f = last.value(QString::number(n + 1));
            QCOMPARE(f.value(2), live.texts[n]);
            QCOMPARE(f.value(3), live.texts[4 + n]);
            QCOMPARE(f.value(4), live.texts[8 + n]);
        }
    }

    // The simulated unit replays a recording on its own pty: a window connected to it ends
    // with the lines and lamps the recording ended with.
    void unitReplaysARecording()
    {
        const QString path = m_dir.filePath("unit.pcap");
        Shown live;
        {
            UnitProcess unit(m_dir.filePath("live.tty"));
            QVERIFY(unit.start());
            TForm1 a(options(unit.link(), "live"));
            a.show();
            a.portControl().OpenButtonClick();
            QTRY_VERIFY_WITH_TIMEOUT(a.displayLines().kind(0) != "--", kWait);
            a.recordControl().startRecording(path);
            for (const char *key : {"IN1", "MoveDOWN", "Enable1", "OUT1"}) {
                const quint64 good = a.displayLines().goodFrames();
                a.findChild<QAction *>(key)->trigger();
                QTRY_VERIFY_WITH_TIMEOUT(a.displayLines().goodFrames() >= good + 8, kWait);
            }
            QTRY_COMPARE_WITH_TIMEOUT(a.displayLines().kind(0), QString("OUT"), kWait);
            a.recordControl().stopRecording();
            live = shown(a);
        }
        UnitProcess replay(m_dir.filePath("replay.tty"));
        QVERIFY(replay.start({"--replay", path}));
        TForm1 c(options(replay.link(), "c"));
        c.show();
        c.portControl().OpenButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(shown(c) == live, 3 * kWait);
        // Keys reach nobody: the replaying unit drops them and keeps to its recording.
        c.findChild<QAction *>("IN1")->trigger();
        QTest::qWait(300);
        QVERIFY(shown(c) == live);
    }

    // A disk that fills stops the recording; the status bar says why, the item is unchecked.
    void fullDiskStopsRecording()
    {
        PtyPair pty;
        TForm1 form(options(pty.slavePath(), "full"));
        form.show();
        form.portControl().OpenButtonClick();
        const QString path = m_dir.filePath("full.pcap");
        form.recordControl().startRecording(path);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 8 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QByteArray some;
        for (int i = 0; i < 40; ++i)
            some += frame(i % 4, '1', "000", "0001");
        // Sent a little at a time: the window reads on this thread.
        for (int round = 0; round < 200 && form.recordControl().isRecording(); ++round) {
            pty.send(some);
            QTest::qWait(10);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!form.recordControl().isRecording(), kWait);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY2(form.findChild<QStatusBar *>("StatusBar1")
                     ->currentMessage()
                     .contains("記録を止めました"),
                 qPrintable(form.findChild<QStatusBar *>("StatusBar1")->currentMessage()));
        QVERIFY(!form.findChild<QAction *>("MenuFileRecord")->isChecked());
        QVERIFY(form.findChild<QLabel *>("RecordStatus")->isHidden());
        QVERIFY(LineRecording::load(path).received().size() > 1000);
    }

    // A device that goes away ends the recording; the status bar keeps saying what happened.
    void lostDeviceEndsRecording()
    {
        PtyPair pty;
        TForm1 form(options(pty.slavePath(), "lost"));
        form.show();
        form.portControl().OpenButtonClick();
        form.recordControl().startRecording(m_dir.filePath("lost.pcap"));
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!form.recordControl().isRecording(), kWait);
        const QString message = form.findChild<QStatusBar *>("StatusBar1")->currentMessage();
        QVERIFY2(message.contains("接続が失われました") && message.contains("記録を終えました"),
                 qPrintable(message));
    }

    // What is not a recording is refused with a message; the window stays as it was.
    void badRecordingRefused()
    {
        const QString text = m_dir.filePath("notes.csv");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("BI,0,comment\r\n");
        f.close();
        TForm1 form(options("/dev/null", "bad"));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, form.recordControl().openReplay(text));
        QVERIFY(!form.recordControl().player());
        QVERIFY(form.findChild<QAction *>("MenuFileConnect")->isEnabled());
        QVERIFY_THROWS_EXCEPTION(
            Exception, form.recordControl().startRecording(m_dir.filePath("closed.pcap")));
    }
};

QTEST_MAIN(tst_RecordReplay)
#include "tst_recordreplay.moc"
