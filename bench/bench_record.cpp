// Recording, replay and export of the line:
//  - CPU the recording adds at the 9600 bit/s line rate (frames handed over as the receiver
//    reads them, writer thread included), against the same feed without recording;
//  - a flood from `qxunit --fast --refresh 0` recorded for a while through the real window: the
//    bytes the receiver read against the bytes in the file, and resident memory;
//  - a one-hour line-rate recording (265,000 frames): file size, reading it, replaying it as
//    fast as possible through the window, seeking to its last minute, exporting it to CSV.
#include "bench/BenchSupport.h"
#include "comm/CommX.h"
#include "link/LineRecording.h"
#include "record/LineRecorder.h"
#include "record/RecordingCsv.h"
#include "record/RecordingTap.h"
#include "record/ReplayPlayer.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/RecordControl.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

using namespace bench;

namespace
{

// Process CPU seconds while frames arrive at line rate for `seconds`, each byte handed to the
// recorder as the tap does (when recorder is given).
double lineRateCpu(int seconds, LineRecorder *recorder)
{
    const QByteArray frames = frameStream(4000);
    qsizetype at = 0;
    QEventLoop loop;
    QTimer feed;
    feed.setTimerType(Qt::PreciseTimer);
    // 9600 bit/s, 11 bits a character: a 13-byte frame every 14.9 ms.
    feed.setInterval(15);
    int sink = 0;
    QObject::connect(&feed, &QTimer::timeout, &loop, [&] {
        for (int i = 0; i < Frames::kDisplayFrameSize; ++i, ++at) {
            const char b = frames[at % frames.size()];
            sink += b;
            if (recorder)
                recorder->received(&b, 1);
        }
    });
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    feed.start();
    loop.exec();
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    return sink == 1 ? -1 : cpu;
}

void lineRateCost(const QString &dir)
{
    const int seconds = runSeconds(20) / 2 + 1;
    const double without = lineRateCpu(seconds, nullptr);
    LineRecorder recorder;
    recorder.start(dir + "/rate.pcap");
    const double with = lineRateCpu(seconds, &recorder);
    recorder.stop();
    row("recording at 9600 bit/s: CPU added (process, writer thread included)",
        std::max(0.0, with - without) / seconds * 100, "% of a core", Goal::Below, 0.2);
}

void flood(const QString &dir)
{
    const int seconds = runSeconds(60);
    QProcess unit;
    const QString link = dir + "/flood.tty";
    unit.start(QStringLiteral(QXUNIT_PATH), {"--fast", "--refresh", "0", "--link", link});
    if (!unit.waitForStarted(5000) || !unit.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_record: qxunit did not start\n");
        return;
    }
    TForm1::Options options;
    options.settingsPath = dir + "/flood.ini";
    QFile ini(options.settingsPath);
    if (ini.open(QIODevice::WriteOnly))
        ini.write(QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(link).toLocal8Bit());
    ini.close();
    TForm1 form(options);
    form.show();
    form.portControl().OpenButtonClick();
    const QString path = dir + "/flood.pcap";
    form.recordControl().startRecording(path);
    CountingPort counter(*form.context().link.port());
    form.context().link.setPort(&counter);

    QEventLoop loop;
    double rssEarly = 0;
    QTimer::singleShot(std::max(1, seconds / 6) * 1000, &loop, [&] { rssEarly = residentMB(); });
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double rssLate = residentMB();
    form.recordControl().stopRecording();
    const quint64 read = counter.bytes();
    form.portControl().CloseButtonClick();
    unit.terminate();
    unit.waitForFinished(5000);

    const LineRecording rec = LineRecording::load(path);
    row("flood recorded: bytes the receiver read", double(read) / 1e6, "MB");
    row("flood recorded: bytes missing from the file",
        double(qint64(read) - qint64(rec.received().size())), "bytes", Goal::Below, 1);
    row("flood recorded: resident memory growth, early to end", rssLate - rssEarly, "MB",
        Goal::Below, 5);
}

// Four lines refreshed back to back, as a unit on a busy line sends them; each line's data
// changes once a second (every 73rd round).
QByteArray refreshStream(int frames)
{
    QByteArray out;
    for (int i = 0; i < frames; ++i) {
        const int line = i % 4;
        const QByteArray data =
            QByteArray::number((i / 4 / 73 + line) & 0xFFFF, 16).toUpper().rightJustified(4, '0');
        out += Frames::displayFrame('r', char(0x70 | line | (line == 1 ? 4 : 0)),
                                    line < 2 ? '1' : '2', line == 3 ? "W05" : "016", data);
    }
    return out;
}

void hourLong(const QString &dir, bool everyFrameChanges)
{
    constexpr int kFrames = 265000;
    const QString path = dir + "/hour.pcap";
    const char *kind = everyFrameChanges ? " [every frame changes its line]"
                                         : " [lines refreshed, data changing each second]";
    const auto name = [kind](const char *what) {
        static std::string text;
        text = std::string(what) + kind;
        return text.c_str();
    };
    {
        LineRecorder recorder;
        recorder.start(path);
        const QByteArray frames = everyFrameChanges ? frameStream(kFrames) : refreshStream(kFrames);
        qint64 t = LineRecorder::nowUs();
        for (int i = 0; i < kFrames; ++i) {
            recorder.received(frames.constData() + i * Frames::kDisplayFrameSize,
                              Frames::kDisplayFrameSize, t);
            t += 3600LL * 1000000 / kFrames;
        }
        recorder.stop();
    }
    row(name("one-hour recording (265,000 frames): file size"), QFileInfo(path).size() / 1e6, "MB");

    QElapsedTimer took;
    took.start();
    auto rec = std::make_shared<LineRecording>(LineRecording::load(path));
    row(name("one-hour recording: reading it"), took.nsecsElapsed() / 1e9, "s");

    QTemporaryDir winDir;
    TForm1::Options options;
    options.settingsPath = winDir.filePath("bench.ini");
    TForm1 form(options);
    form.show();
    const quint64 good0 = form.displayLines().goodFrames();
    took.restart();
    form.recordControl().startReplay(rec, "hour.pcap");
    ReplayPlayer *player = form.recordControl().player();
    player->setSpeed(0);
    QEventLoop loop;
    QObject::connect(player, &ReplayPlayer::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    const double replay = took.nsecsElapsed() / 1e9;
    if (form.displayLines().goodFrames() - good0 != quint64(kFrames))
        std::fprintf(stderr, "bench_record: replay showed %llu frames\n",
                     (unsigned long long)(form.displayLines().goodFrames() - good0));
    row(name("one-hour recording: replay as fast as possible, through the window"), replay, "s",
        Goal::Below, 10);

    player->pause();
    took.restart();
    player->seek(rec->chunks().back().timeUs - 60LL * 1000000);
    QObject::connect(player, &ReplayPlayer::positionChanged, &loop, [&] {
        if (!player->isSeeking())
            loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    row(name("one-hour recording: seeking to its last minute (from the start)"),
        took.nsecsElapsed() / 1e9, "s", Goal::Below, 10);
    form.recordControl().stopReplay();

    took.restart();
    const qsizetype rows = RecordingCsv::write(*rec, dir + "/hour.csv");
    row(name("one-hour recording: export to CSV"), took.nsecsElapsed() / 1e9, "s", Goal::Below, 5);
    row(name("one-hour recording: CSV rows"), double(rows), "rows");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    lineRateCost(dir.path());
    hourLong(dir.path(), false);
    hourLong(dir.path(), true);
    flood(dir.path());
    return 0;
}
