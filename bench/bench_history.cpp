// The history window on a real display (Xvfb of its own, the xcb platform). Reported: the CPU
// of the whole process with the history window open while the unit streams at 9600 bit/s with
// every frame changing its line; with 1,000,000 changes held, a full redraw of the window (the
// whole history in view), a zoom step and a pan step; the memory the changes take.
#include "bench/BenchSupport.h"
#include "bench/BenchX11.h"
#include "comm/CommX.h"
#include "history/BitTimeline.h"
#include "history/ChannelTrends.h"
#include "history/HistoryKey.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"
#include "history/HistoryWindow.h"
#include "ui/DisplayLines.h"
#include "ui/HistoryControl.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace bench;

namespace
{

// A unit's pattern: four lines, each frame changing its line's word (three bit lines and an
// eight-channel word cycling through its channels), 13.5 ms apart (74 frames a second).
void fillHistory(HistoryStore &s, qsizetype changes, qint64 t0)
{
    auto key = [&](const char *kind, const char *addr, qint64 first, bool word, int line) {
        HistoryKey k;
        k.kind = QString::fromLatin1(kind);
        k.addrText = QString::fromLatin1(addr);
        k.first = first;
        k.word = word;
        return s.keyOf(k, line);
    };
    const int keys[4] = {key("IN", "000", 0, false, 0), key("IN", "016", 16, false, 1),
                         key("OUT", "032", 32, false, 2), key("IN", "W05", 80, true, 3)};
    for (qsizetype i = 0; i < changes; ++i) {
        const qint64 t = t0 + i * 13'500;
        const int line = int(i % 4);
        const quint16 n = quint16(i / 4);
        quint16 value = n;
        if (line == 3) {
            const int channel = int(n % 8);
            value =
                quint16((channel << 13) | ((2000 + channel * 700 + int(n / 8) % 1500) & 0x1FFF));
        }
        s.record(t, keys[line], line, value);
        s.frame(t);
    }
}

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    Pty pty;
    if (pty.master < 0) {
        std::fprintf(stderr, "bench_history: no pseudo-terminal\n");
        return 1;
    }
    PacedWriter writer(pty.master);
    VirtualDisplay server;
    if (!writer.ok() || server.display().isEmpty()) {
        std::fprintf(stderr, "bench_history: no writer process or no Xvfb\n");
        return 1;
    }
    qputenv("DISPLAY", server.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    qunsetenv("QT_ACCESSIBILITY");

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    TForm1::Options options;
    options.settingsPath = dir.filePath("qxwatch.ini");
    {
        QFile ini(options.settingsPath);
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write(QStringLiteral("[PORTS]\r\nCOM1=%1\r\n[HISTORY]\r\nLeft=0\r\nTop=0\r\n"
                                 "Width=1200\r\nHeight=800\r\n")
                      .arg(pty.path)
                      .toLocal8Bit());
    }

    QApplication app(argc, argv);
    TForm1 form(options);
    form.show();
    form.historyControl().showWindow();
    HistoryWindow &window = form.historyControl().window();
    runFor(1000);

    // The live stream with the history window open.
    form.portControl().OpenButtonClick();
    if (!form.CommX1().isOpen()) {
        std::fprintf(stderr, "bench_history: cannot open %s\n", qPrintable(pty.path));
        return 1;
    }
    const int seconds = runSeconds(20);
    writer.start(PacedWriter::Changing, 1);
    writer.waitForAnswer(6000);
    writer.finished();
    auto paced = [&](const char *what, double target, Goal goal) {
        const quint64 g0 = form.displayLines().goodFrames();
        const double cpu0 = processCpuSeconds(::getpid());
        const double server0 = processCpuSeconds(server.pid());
        const auto t0 = Clock::now();
        writer.start(PacedWriter::Changing, seconds);
        writer.waitForAnswer(seconds * 1000 + 5000);
        const int written = writer.finished();
        runUntil([&] { return form.displayLines().goodFrames() - g0 >= quint64(written); }, 2000);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = processCpuSeconds(::getpid()) - cpu0;
        const double serverCpu = processCpuSeconds(server.pid()) - server0;
        char label[200], note[128];
        std::snprintf(note, sizeof note, "(%d frames written, %llu handled, %lld changes held)",
                      written, (unsigned long long)(form.displayLines().goodFrames() - g0),
                      (long long)form.historyControl().store().size());
        std::snprintf(label, sizeof label,
                      "xcb, 960 bytes/s for %d s, every frame changes, %s: CPU of the whole "
                      "process",
                      seconds, what);
        row(label, cpu / wall * 100.0, "% of a core", goal, target, note);
        std::snprintf(label, sizeof label, "xcb, %s: the X server's CPU meanwhile", what);
        row(label, serverCpu / wall * 100.0, "% of a core");
    };
    window.hide();
    paced("history kept, its window closed", 0, Goal::None);
    form.historyControl().showWindow();
    runFor(500);
    paced("the history window open (1200 x 800)", 3, Goal::Below);
    form.portControl().CloseButtonClick();

    // 1,000,000 changes held.
    HistoryStore &store = form.historyControl().store();
    form.historyControl().recorder().restart();
    runFor(200);
    const double before = residentMB();
    const qint64 t0 = (QDateTime::currentMSecsSinceEpoch() - 4LL * 3600 * 1000) * 1000;
    fillHistory(store, HistoryStore::kDefaultLimit, t0);
    const double after = residentMB();
    char note[96];
    std::snprintf(note, sizeof note, "(%.1f MB allocated by the store)",
                  double(store.bytesHeld()) / (1024.0 * 1024.0));
    row("1,000,000 changes: resident memory they add", after - before, "MB", Goal::Below, 64, note);

    HistoryView &view = window.view();
    view.fit();
    runFor(300);
    std::vector<double> full, zoom, pan;
    // Everything drawn again, as for a new range, and on the screen before the clock stops.
    auto redraw = [&] {
        window.timeline().viewport()->update();
        window.trends().viewport()->update();
        window.repaint();
        QApplication::sync();
    };
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer t;
        t.start();
        redraw();
        full.push_back(msSince(t));
    }
    row("1,000,000 changes, 1200 x 800 window: full redraw, the whole history in view (median)",
        percentile(full, 0.5), "ms", Goal::Below, 100);
    row("  the slowest of 7", percentile(full, 1.0), "ms");
    for (int i = 0; i < 12; ++i) {
        QElapsedTimer t;
        t.start();
        view.zoom(0.7, (view.startUs() + view.endUs()) / 2);
        redraw();
        zoom.push_back(msSince(t));
    }
    for (int i = 0; i < 12; ++i) {
        QElapsedTimer t;
        t.start();
        view.pan(-(view.endUs() - view.startUs()) / 5);
        redraw();
        pan.push_back(msSince(t));
    }
    view.fit();
    for (int i = 0; i < 6; ++i) {
        QElapsedTimer t;
        t.start();
        view.pan(-(view.endUs() - view.startUs()) / 10);
        redraw();
        pan.push_back(msSince(t));
    }
    row("1,000,000 changes: zoom step, 12 steps in from the whole history (slowest)",
        percentile(zoom, 1.0), "ms", Goal::Below, 50);
    row("1,000,000 changes: pan step, zoomed in and with all in view (slowest of 18)",
        percentile(pan, 1.0), "ms", Goal::Below, 50);
    row("  pan step, median", percentile(pan, 0.5), "ms");
    return 0;
}
