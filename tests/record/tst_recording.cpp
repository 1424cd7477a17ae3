#include "link/Frames.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "record/LineRecorder.h"
#include "record/RecordingCsv.h"
#include "record/RecordingTap.h"
#include "record/ReplayPlayer.h"
#include "tests/support/FakePort.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <pcap/pcap.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

QByteArray frame(int line, char kind, const char *addr, const char *data, bool cursor = false)
{
    return Frames::displayFrame('r', char(0x30 | line | (cursor ? 4 : 0)), kind, addr, data);
}

QByteArray receivedIn(const QString &path)
{
    return LineRecording::load(path).received();
}

QString loadError(const QString &path)
{
    try {
        LineRecording::load(path);
    } catch (const Exception &e) {
        return e.message() + u'|' + e.detail();
    }
    return QString();
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    // What the recorder is handed comes back from the file, received bytes joined in records of
    // one read burst, sent frames apart, in order, and tcpdump reads the file.
    void recordsReadBack()
    {
        const QString path = m_dir.filePath("line.pcap");
        LineRecorder rec;
        rec.start(path);
        const qint64 t0 = 1'700'000'000'000'000;
        const QByteArray f1 = frame(0, '1', "000", "0001");
        const QByteArray f2 = frame(1, '2', "016", "8001");
        for (int i = 0; i < f1.size(); ++i)
            rec.received(f1.constData() + i, 1, t0 + i * 10); // one burst: joined
        rec.sent(Frames::keyFrame("01"), t0 + 500);
        rec.received(f2.constData(), f2.size(), t0 + 600); // after a sent frame: a record
        rec.received("xy", 2, t0 + 600 + LineRecording::kJoinWindowUs); // too late to join
        QCOMPARE(rec.bytesRecorded(), quint64(f1.size() + 5 + f2.size() + 2));
        rec.stop();

        const LineRecording back = LineRecording::load(path);
        QVERIFY(back.damage().isEmpty());
        QCOMPARE(back.received(), f1 + f2 + "xy");
        QCOMPARE(back.chunks().size(), std::size_t(3));
        QCOMPARE(back.chunks()[0].timeUs, t0);
        QCOMPARE(back.chunks()[0].end, f1.size());
        QCOMPARE(back.chunks()[1].timeUs, t0 + 600);
        QCOMPARE(back.chunks()[2].timeUs, t0 + 600 + LineRecording::kJoinWindowUs);
        QCOMPARE(back.sent().size(), std::size_t(1));
        QCOMPARE(back.sent()[0].bytes, Frames::keyFrame("01"));
        QCOMPARE(back.startUs(), t0);

        const QString tcpdump =
            QStandardPaths::findExecutable("tcpdump", {"/usr/sbin", "/usr/bin"});
        if (tcpdump.isEmpty())
            QSKIP("tcpdump is not installed");
        QProcess p;
        p.start(tcpdump, {"-nn", "-r", path});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray out = p.readAllStandardOutput();
        // One line per record (time first), each followed by its bytes in hexadecimal.
        int records = 0;
        for (const QByteArray &line : out.split('\n'))
            records += !line.isEmpty() && line.at(0) >= '0' && line.at(0) <= '9';
        QCOMPARE(records, 4);
        QVERIFY2(out.contains("0x0000:  012a 3031 3262"), out.constData()); // sent "*012b"
    }

    // A key frame is recorded only when the port took it; received bytes as the receiver reads
    // them, nothing when not recording.
    void tapPassesThrough()
    {
        FakePort port;
        LineRecorder rec;
        RecordingTap tap(port, rec);
        port.feed("ab");
        QCOMPARE(tap.ReadChar(), int('a'));
        QCOMPARE(rec.bytesRecorded(), quint64(0));
        const QString path = m_dir.filePath("tap.pcap");
        rec.start(path);
        QCOMPARE(tap.ReadChar(), int('b'));
        QCOMPARE(tap.ReadChar(), -1);
        QVERIFY(tap.SendString(Frames::keyFrame("01")));
        port.open = false;
        QVERIFY(!tap.SendString(Frames::keyFrame("02")));
        rec.stop();
        const LineRecording back = LineRecording::load(path);
        QCOMPARE(back.received(), QByteArray("b"));
        QCOMPARE(back.sent().size(), std::size_t(1));
        QCOMPARE(port.sent, Frames::keyFrame("01"));
    }

    // The file holds what was handed over within about a second, while recording goes on; a
    // record cut off at the end is left out and said so.
    void flushedAndCutOff()
    {
        const QString path = m_dir.filePath("live.pcap");
        LineRecorder rec;
        rec.start(path);
        const QByteArray f = frame(0, '1', "000", "0001");
        rec.received(f.constData(), f.size());
        QTRY_COMPARE_WITH_TIMEOUT(receivedIn(path), f, 1500);
        rec.sent(Frames::keyFrame("03"));
        rec.stop();

        QFile file(path);
        const qint64 full = file.size();
        QVERIFY(file.resize(full - 2));
        const LineRecording cut = LineRecording::load(path);
        QCOMPARE(cut.received(), f);
        QCOMPARE(cut.sent().size(), std::size_t(0));
        QVERIFY2(cut.damage().contains("truncated"), qPrintable(cut.damage()));
        QVERIFY(file.resize(full - 6 - 16 + 3)); // in the key frame record's header
        QCOMPARE(LineRecording::load(path).received(), f);
    }

    // Files that are no recording of this line are refused with a message that says so.
    void badFiles()
    {
        QVERIFY(loadError(m_dir.filePath("none.pcap")).contains("見つかりません"));
        QVERIFY(loadError(m_dir.path()).contains("記録ファイルではありません"));

        const QString text = m_dir.filePath("text.pcap");
        QFile t(text);
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("COMMENT,1,hello\r\n");
        t.close();
        QVERIFY(loadError(text).contains("(pcap) ではありません"));

        const QString ether = m_dir.filePath("ether.pcap");
        pcap_t *dead = pcap_open_dead(DLT_EN10MB, 65535);
        pcap_dumper_t *d = pcap_dump_open(dead, QFile::encodeName(ether).constData());
        QVERIFY(d);
        pcap_dump_close(d);
        pcap_close(dead);
        QVERIFY2(loadError(ether).contains("リンク種別 1"), qPrintable(loadError(ether)));

        // 2 GB, sparse: refused by its size at once, nothing read.
        const QString big = m_dir.filePath("big.pcap");
        QFile b(big);
        QVERIFY(b.open(QIODevice::WriteOnly));
        QVERIFY(b.resize(2LL * 1024 * 1024 * 1024));
        b.close();
        QElapsedTimer took;
        took.start();
        QVERIFY(loadError(big).contains("大きすぎて"));
        QVERIFY(took.elapsed() < 1000);
    }

    // A disk that fills stops the recording with the reason; what was written stays readable.
    void fullDiskStops()
    {
        const QString path = m_dir.filePath("full.pcap");
        LineRecorder rec;
        QSignalSpy failed(&rec, &LineRecorder::failed);
        rec.start(path);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QByteArray f = frame(2, '2', "016", "8001");
        qint64 t = LineRecorder::nowUs();
        for (int i = 0; i < 20000 && rec.isRecording(); ++i) {
            rec.received(f.constData(), f.size(), t);
            t += 20000;
            if (i % 1000 == 0)
                QTest::qWait(LineRecorder::kWritePeriodMs);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty(), 3000);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!rec.isRecording());
        QVERIFY2(failed.at(0).at(0).toString().contains("記録を止めました"),
                 qPrintable(failed.at(0).at(0).toString()));
        const LineRecording back = LineRecording::load(path);
        QVERIFY(back.received().size() > 1000);
        QVERIFY(back.received().startsWith(f + f));
    }

    // A creation failure is reported at start.
    void unwritableStart()
    {
        LineRecorder rec;
        QVERIFY_THROWS_EXCEPTION(EFCreateError, rec.start(m_dir.filePath("no/such/dir.pcap")));
        QVERIFY_THROWS_EXCEPTION(EFCreateError, rec.start("/dev/full"));
        QVERIFY(!rec.isRecording());
    }

    // Replay hands the receiver every byte in order; at speed 1 with the recorded pauses; a
    // seek backwards starts again from the beginning, a seek forwards goes on.
    void replayDelivers()
    {
        auto rec = std::make_shared<LineRecording>();
        const qint64 t0 = 1'000'000;
        QByteArray all;
        for (int i = 0; i < 50; ++i) {
            const QByteArray f = frame(i % 4, '1', "000", qPrintable(QString::number(1000 + i)));
            rec->appendReceived(t0 + i * 4000, f); // 4 ms apart: 200 ms in all
            all += f;
        }
        ReplayPlayer player(rec);
        QByteArray got;
        int rewinds = 0;
        connect(&player, &ReplayPlayer::receive, this, [&](QObject *, int n) {
            for (int i = 0; i < n; ++i)
                got += char(player.port().ReadChar());
        });
        connect(&player, &ReplayPlayer::rewound, this, [&] {
            ++rewinds;
            got.clear();
        });
        QSignalSpy finished(&player, &ReplayPlayer::finished);
        QVERIFY(!player.port().SendString("*0102"));
        QVERIFY(!player.port().isOpen());

        QElapsedTimer took;
        took.start();
        player.play();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 3000);
        QVERIFY2(took.elapsed() >= 190, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(got, all);

        player.seek(t0 + 10 * 4000);
        QTRY_VERIFY(!player.isSeeking());
        QCOMPARE(rewinds, 1);
        QCOMPARE(got, all.left(11 * 13));
        QCOMPARE(player.positionUs(), t0 + 10 * 4000);
        player.seek(t0 + 20 * 4000);
        QTRY_VERIFY(!player.isSeeking());
        QCOMPARE(rewinds, 1);
        QCOMPARE(got, all.left(21 * 13));

        player.setSpeed(0);
        took.restart();
        player.play();
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(got, all);
        QVERIFY(took.elapsed() < 150);
    }

    // Bytes a bad frame leaves unread are offered again at the end.
    void replayDrainsAfterBadFrame()
    {
        auto rec = std::make_shared<LineRecording>();
        rec->appendReceived(1, QByteArray(13, 'x') + frame(0, '1', "000", "0001"));
        ReplayPlayer player(rec);
        QByteArray got;
        connect(&player, &ReplayPlayer::receive, this, [&](QObject *, int n) {
            for (int i = 0; i < std::min(n, 13); ++i) // a receiver that stops after 13
                got += char(player.port().ReadChar());
        });
        player.setSpeed(0);
        player.play();
        QTRY_COMPARE(got.size(), 26);
    }

    // One row per frame that changed its line; bits and the eight-channel readings.
    void csvRows()
    {
        LineRecording rec;
        const qint64 t =
            QDateTime(QDate(2026, 12, 9), QTime(10, 20, 30, 456)).toMSecsSinceEpoch() * 1000 + 789;
        rec.appendReceived(t, frame(0, '1', "000", "0001") + frame(0, '1', "000", "0001"));
        rec.appendReceived(t + 1, QByteArray("noise") + frame(2, '2', "W05", "8123", true));
        rec.appendReceived(t + 2, frame(2, '2', "W05", "8123") + frame(3, '9', "xyz", "12ab"));
        qsizetype rows = 0;
        const QByteArray csv = RecordingCsv::text(rec, &rows);
        QCOMPARE(rows, 3);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.size(), 5); // header, three rows, the empty rest
        QCOMPARE(QString::fromUtf8(lines[0].mid(3)), RecordingCsv::header() + '\r');
        QCOMPARE(lines[1], "2026-12-09 10:20:30.456789,1,IN,000,0001,"
                           "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,,,,\r");
        QCOMPARE(lines[2], "2026-12-09 10:20:30.456790,3,OUT,W05,8123,"
                           "1,0,0,0,0,0,0,1,0,0,1,0,0,0,1,1,4,291,0,291\r");
        QCOMPARE(lines[3], "2026-12-09 10:20:30.456791,4,9,xyz,12ab,"
                           "0,0,0,1,0,0,1,0,0,0,0,0,0,0,0,0,,,,\r");

        QCOMPARE(RecordingCsv::write(rec, m_dir.filePath("out.csv")), 3);
        QFile out(m_dir.filePath("out.csv"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), csv);
        QVERIFY_THROWS_EXCEPTION(EFCreateError, RecordingCsv::write(rec, "/no/such/dir/x.csv"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
