// The window on a real display: a virtual X server (Xvfb) of its own, the window on the xcb
// platform (every change painted and sent to the server, as on a desk), its serial port a
// pseudo-terminal. A child process plays the unit at the line's pace, 960 bytes (74 display
// frames) a second, in two streams: every frame changes its data word, and the unit refreshing
// a display that does not change. Reported: the CPU of the whole process (every thread, from
// /proc/self/stat) in % of one core and per frame, what the X server spent meanwhile, resident
// memory after start-up, and the frames a second the window handles from qxunit --fast.
#include "bench/BenchSupport.h"
#include "bench/BenchUnit.h"
#include "bench/BenchX11.h"
#include "comm/CommX.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/wait.h>

using namespace bench;

namespace
{

struct Bench {
    TForm1 &form;
    CountingPort &counter;
    PacedWriter &writer;
    pid_t server;
    QString unitLink;

    quint64 good() { return form.displayLines().goodFrames(); }

    bool connect(int port)
    {
        if (auto *a = form.findChild<QAction *>(PortControl::portItemName(port)))
            form.portControl().COM011Click(a);
        form.portControl().OpenButtonClick();
        return form.CommX1().isOpen();
    }

    void paced(PacedWriter::Stream stream, int seconds, const char *what, double target)
    {
        const quint64 g0 = good();
        const double cpu0 = processCpuSeconds(::getpid());
        const double server0 = processCpuSeconds(server);
        const auto t0 = Clock::now();
        writer.start(stream, seconds);
        // The window's event loop runs while the child writes; its answer ends the run.
        writer.waitForAnswer(seconds * 1000 + 5000);
        const int written = writer.finished();
        runUntil([&] { return written >= 0 && good() - g0 >= quint64(written); }, 2000);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = processCpuSeconds(::getpid()) - cpu0;
        const double serverCpu = processCpuSeconds(server) - server0;
        const quint64 handled = good() - g0;
        char label[160], note[96];
        std::snprintf(note, sizeof note, "(%d frames written, %llu handled)", written,
                      (unsigned long long)handled);
        std::snprintf(label, sizeof label,
                      "xcb, 960 bytes/s for %d s, %s: CPU of the whole process", seconds, what);
        row(label, cpu / wall * 100.0, "% of a core", Goal::Below, target, note);
        std::snprintf(label, sizeof label, "xcb, %s: CPU per frame", what);
        row(label, written > 0 ? cpu / written * 1e6 : 0.0, "us");
        std::snprintf(label, sizeof label, "xcb, %s: the X server's CPU meanwhile", what);
        row(label, serverCpu / wall * 100.0, "% of a core");
    }

    // The floor under both streams: the same bytes at the same pace read by a bare receive
    // handler instead of RecPkt, so no display work at all; what remains is the serial port's
    // receive thread and its notices to the window thread.
    void portAlone(int seconds)
    {
        TCommX &comm = form.CommX1();
        QObject::disconnect(&comm, &TCustomCommX::OnReceive, &form.displayLines(),
                            &DisplayLines::RecPkt);
        quint64 bytes = 0;
        auto c = QObject::connect(&comm, &TCustomCommX::OnReceive, &form, [&](QObject *, int n) {
            for (int i = 0; i < n && comm.ReadChar() >= 0; ++i)
                ++bytes;
        });
        const double cpu0 = processCpuSeconds(::getpid());
        const auto t0 = Clock::now();
        writer.start(PacedWriter::Unchanged, seconds);
        writer.waitForAnswer(seconds * 1000 + 5000);
        const int written = writer.finished();
        runFor(100);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = processCpuSeconds(::getpid()) - cpu0;
        QObject::disconnect(c);
        QObject::connect(&comm, &TCustomCommX::OnReceive, &form.displayLines(),
                         &DisplayLines::RecPkt);
        char note[96];
        std::snprintf(note, sizeof note, "(%d frames written, %llu bytes read)", written,
                      (unsigned long long)bytes);
        row("  floor: the serial port alone at the same pace, bare receive handler, whole process",
            cpu / wall * 100.0, "% of a core", Goal::None, 0, note);
        row("  floor: the serial port alone, CPU per frame",
            written > 0 ? cpu / written * 1e6 : 0.0, "us");
    }

    // qxunit --fast into the window under xcb: good frames handled per second, and every
    // complete frame that arrived handled.
    void unitFast(int seconds)
    {
        UnitProcess unit(unitLink);
        if (!unit.start({"--fast", "--refresh", "0"}) || !connect(2)) {
            std::fprintf(stderr, "bench_display: qxunit --fast did not connect\n");
            return;
        }
        const quint64 goodAtConnect = good();
        const quint64 bytesAtConnect = counter.bytes();
        runFor(500);
        const quint64 g0 = good();
        const auto t0 = Clock::now();
        runFor(seconds * 1000);
        const quint64 g1 = good();
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const quint64 handled = g1 - goodAtConnect;
        const quint64 complete = (counter.bytes() - bytesAtConnect) / Frames::kDisplayFrameSize;
        form.portControl().CloseButtonClick();
        unit.stop();
        // A connect can land inside a frame; that one partial frame is not lost by the window.
        const long long lost = std::max(0LL, (long long)complete - (long long)handled - 1);
        char note[128];
        std::snprintf(note, sizeof note, "(%llu complete frames arrived, %llu handled, lost %lld)",
                      (unsigned long long)complete, (unsigned long long)handled, lost);
        row("xcb, qxunit --fast --refresh 0 -> window, frames handled",
            lost == 0 ? (g1 - g0) / wall : 0.0, "frames/s", Goal::AtLeast, 20000, note);
    }
};

class PaintSeen : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(o, e);
    }
};

} // namespace

int main(int argc, char **argv)
{
    Pty pty;
    if (pty.master < 0) {
        std::fprintf(stderr, "bench_display: no pseudo-terminal\n");
        return 1;
    }
    // Made before any thread, so the child is a plain copy of this process.
    PacedWriter writer(pty.master);
    VirtualDisplay server;
    if (!writer.ok() || server.display().isEmpty()) {
        std::fprintf(stderr, "bench_display: no writer process or no Xvfb\n");
        return 1;
    }
    qputenv("DISPLAY", server.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    qunsetenv("QT_ACCESSIBILITY");

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString unitLink = dir.filePath("unit.tty");
    TForm1::Options options;
    options.settingsPath = dir.filePath("qxwatch.ini");
    {
        QFile ini(options.settingsPath);
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write(QStringLiteral("[PORTS]\r\nCOM1=%1\r\nCOM2=%2\r\n")
                      .arg(pty.path, unitLink)
                      .toLocal8Bit());
    }

    QApplication app(argc, argv);
    TForm1 form(options);
    PaintSeen paint;
    form.installEventFilter(&paint);
    form.show();
    runUntil([&] { return paint.painted; }, 5000);
    form.removeEventFilter(&paint);
    runFor(500);
    row("xcb: resident memory after start-up", residentMB(), "MB", Goal::Below, 40);

    CommPort *realPort = form.context().link.port();
    CountingPort counter(*realPort);
    form.context().link.setPort(&counter);
    Bench b{form, counter, writer, server.pid(), unitLink};
    if (!b.connect(1)) {
        std::fprintf(stderr, "bench_display: cannot open %s\n", qPrintable(pty.path));
        return 1;
    }
    const int seconds = runSeconds(20);
    // One second of the changing stream first: the lamps, texts and glyph caches warmed up.
    b.writer.start(PacedWriter::Changing, 1);
    b.writer.waitForAnswer(6000);
    b.writer.finished();
    b.paced(PacedWriter::Changing, seconds, "every frame changes its data word", 1.5);
    b.paced(PacedWriter::Unchanged, seconds, "the unit refreshes an unchanged display", 0.3);
    b.portAlone(std::max(2, seconds / 2));
    row("xcb: resident memory after the streams", residentMB(), "MB");
    form.portControl().CloseButtonClick();
    b.unitFast(seconds >= 10 ? 5 : 2);
    form.context().link.setPort(realPort);
    return 0;
}
