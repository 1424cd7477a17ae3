// The whole window (offscreen) under load, in this process: start-up, resident memory over a
// million frames, key press to bytes on the wire, frames handled end to end from the simulated
// unit (qxunit --fast) and from a pseudo-terminal written at full speed, and the CPU the window
// uses while the unit streams at the line's real pace.
#include "bench/BenchSupport.h"
#include "bench/BenchUnit.h"
#include "comm/CommX.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <thread>

using namespace bench;

namespace
{

using Clock = std::chrono::steady_clock;

// Runs the event loop for ms milliseconds.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() or ms milliseconds; returns done().
bool runUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

// Repeats a short run of unit-like frames: a million frames without a 13 MB buffer that would
// itself show in the resident memory.
class CyclingPort : public CommPort
{
public:
    CyclingPort() : m_bytes(frameStream(4096)) {}
    bool SendString(const QByteArray &) override { return true; }
    int ReadChar() override
    {
        const int v = static_cast<unsigned char>(m_bytes[m_pos]);
        if (++m_pos == m_bytes.size())
            m_pos = 0;
        return v;
    }
    bool isOpen() const override { return true; }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
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

void click(QWidget *w)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void drain(int fd)
{
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && ::read(fd, buf, sizeof buf) > 0) {
    }
}

struct Bench {
    TForm1 &form;
    CountingPort &counter;
    Pty &pty;
    QString unitLink;

    quint64 good() { return form.displayLines().goodFrames(); }

    void selectPort(int n)
    {
        if (auto *a = form.findChild<QAction *>(PortControl::portItemName(n)))
            form.portControl().COM011Click(a);
    }

    bool connect(int port)
    {
        selectPort(port);
        form.portControl().OpenButtonClick();
        return form.CommX1().isOpen();
    }

    // A key on the key pad clicked with the mouse until its key frame is readable at the far
    // end of the line.
    void keyPressLatency()
    {
        if (!connect(1)) {
            std::fprintf(stderr, "bench_window: cannot open %s\n", qPrintable(pty.path));
            return;
        }
        auto *btnIN = form.findChild<QAbstractButton *>("btnIN");
        if (!btnIN || !btnIN->isEnabled()) {
            std::fprintf(stderr, "bench_window: no enabled btnIN\n");
            return;
        }
        drain(pty.master);
        const int frameSize = int(Frames::keyFrame("01").size());
        constexpr int kPresses = 1000;
        std::vector<double> ms;
        char buf[64];
        for (int i = 0; i < kPresses; ++i) {
            const auto t0 = Clock::now();
            click(btnIN);
            int got = 0;
            while (got < frameSize) {
                pollfd p{pty.master, POLLIN, 0};
                if (::poll(&p, 1, 1000) <= 0)
                    break;
                const ssize_t n = ::read(pty.master, buf, sizeof buf);
                if (n > 0)
                    got += int(n);
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            if (i % 50 == 0)
                QCoreApplication::processEvents();
        }
        row("key press (mouse on btnIN) to key frame at the pty master, median",
            percentile(ms, 0.5), "ms", Goal::Below, 1);
        row("key press (mouse on btnIN) to key frame at the pty master, 99th percentile",
            percentile(ms, 0.99), "ms");
    }

    // The window's own capacity: this process writes display frames into the pty master as
    // fast as the line takes them; every frame written must be handled.
    void fullSpeedPty()
    {
        constexpr int kFrames = 200000;
        const QByteArray stream = frameStream(kFrames);
        const quint64 good0 = good();
        const quint64 bytes0 = counter.bytes();
        std::atomic<bool> done{false};
        const auto t0 = Clock::now();
        std::thread writer([&] {
            const int fd = ::dup(pty.master);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            qsizetype sent = 0;
            while (sent < stream.size()) {
                const ssize_t n = ::write(fd, stream.constData() + sent,
                                          size_t(std::min<qsizetype>(4096, stream.size() - sent)));
                if (n <= 0)
                    break;
                sent += n;
            }
            ::close(fd);
            done = true;
        });
        runUntil([&] { return good() - good0 >= kFrames; }, 60000);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        writer.join();
        const quint64 handled = good() - good0;
        const quint64 bytes = counter.bytes() - bytes0;
        const long long lost = (long long)kFrames - (long long)handled;
        char note[128];
        std::snprintf(note, sizeof note, "(%llu of %d frames handled, %llu bytes read, lost %lld)",
                      (unsigned long long)handled, kFrames, (unsigned long long)bytes, lost);
        row("end to end: pty written at full speed -> TCommX -> window, frames handled",
            lost == 0 ? handled / seconds : 0.0, "frames/s", Goal::AtLeast, 20000, note);
        form.portControl().CloseButtonClick();
    }

    // What the simulated unit can deliver to a reader that does nothing but read.
    void unitAlone(const QStringList &args, int seconds)
    {
        UnitProcess unit(unitLink);
        if (!unit.start(args))
            return;
        const int fd = ::open(QFile::encodeName(unitLink).constData(), O_RDONLY | O_NOCTTY);
        quint64 bytes = 0;
        char buf[4096];
        drain(fd);
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0)
                    bytes += quint64(n);
            }
        }
        ::close(fd);
        row("qxunit --fast --refresh 0 alone, to a bare reader",
            double(bytes) / Frames::kDisplayFrameSize / seconds, "frames/s");
    }

    // qxunit --fast into the window: good frames handled per second, and every complete frame
    // that arrived handled.
    void unitFast(int seconds)
    {
        UnitProcess unit(unitLink);
        if (!unit.start({"--fast", "--refresh", "0"}) || !connect(2)) {
            std::fprintf(stderr, "bench_window: qxunit --fast did not connect\n");
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
        row("end to end: qxunit --fast --refresh 0 -> window, frames handled",
            lost == 0 ? (g1 - g0) / wall : 0.0, "frames/s", Goal::AtLeast, 20000, note);
    }

    // The unit keeps the 9600 bit/s line full: four frames of 13 bytes at 11 bits a byte take
    // 59.6 ms, so a 60 ms refresh leaves the line idle for well under a byte's time.
    void pacedCpu(int seconds, bool indicatorOutOfSight = false)
    {
        QWidget *indicator = form.findChild<QWidget *>("RecIndicator");
        const QPoint indicatorAt = indicator ? indicator->pos() : QPoint();
        if (indicatorOutOfSight && indicator)
            indicator->move(-1000, -1000);
        UnitProcess unit(unitLink);
        if (!unit.start({"--refresh", "60"}) || !connect(2)) {
            std::fprintf(stderr, "bench_window: qxunit did not connect\n");
            return;
        }
        runFor(1000);
        const quint64 g0 = good();
        const double proc0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto t0 = Clock::now();
        runFor(seconds * 1000);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double proc = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - proc0;
        const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
        const quint64 frames = good() - g0;
        form.portControl().CloseButtonClick();
        unit.stop();
        if (indicator)
            indicator->move(indicatorAt);
        if (indicatorOutOfSight) {
            row("  diagnosis: the same with RecIndicator moved out of sight, window thread",
                thread / wall * 100.0, "% of a core");
            return;
        }
        char label[160];
        std::snprintf(label, sizeof label,
                      "CPU while qxunit streams at 9600 bit/s for %d s, whole process", seconds);
        row(label, proc / wall * 100.0, "% of a core", Goal::Below, 2);
        std::snprintf(label, sizeof label,
                      "CPU while qxunit streams at 9600 bit/s for %d s, window thread", seconds);
        row(label, thread / wall * 100.0, "% of a core");
        row("frames handled at 9600 bit/s (line full: 9600/11/13 = 67)", frames / wall, "frames/s");
    }

    // Where the paced CPU goes, taken apart: (a) the serial port alone, the unit's bytes read
    // with ReadChar by a bare receive handler instead of RecPkt; (b) RecPkt and the repaints
    // alone, the same 67 frames a second fed from memory by a timer, no port.
    void pacedSplit(int seconds)
    {
        UnitProcess unit(unitLink);
        if (!unit.start({"--refresh", "60"}) || !connect(2))
            return;
        TCommX &comm = form.CommX1();
        QObject::disconnect(&comm, &TCustomCommX::OnReceive, &form.displayLines(),
                            &DisplayLines::RecPkt);
        quint64 bytes = 0, events = 0;
        auto c = QObject::connect(&comm, &TCustomCommX::OnReceive, &form, [&](QObject *, int n) {
            ++events;
            for (int i = 0; i < n && comm.ReadChar() >= 0; ++i)
                ++bytes;
        });
        runFor(500);
        bytes = events = 0;
        double thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        auto t0 = Clock::now();
        runFor(seconds * 1000);
        double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double portOnly = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0) / wall * 100.0;
        QObject::disconnect(c);
        QObject::connect(&comm, &TCustomCommX::OnReceive, &form.displayLines(),
                         &DisplayLines::RecPkt);
        form.portControl().CloseButtonClick();
        unit.stop();
        char note[96];
        std::snprintf(note, sizeof note, "(%.0f receive events/s, %.0f bytes/s)", events / wall,
                      bytes / wall);
        row("  of which: serial port alone, bare receive handler, window thread", portOnly,
            "% of a core", Goal::None, 0, note);

        CommPort *saved = form.context().link.port();
        MemoryPort memory(frameStream(seconds * 80));
        form.context().link.setPort(&memory);
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, &form,
                         [&] { form.displayLines().RecPkt(nullptr, Frames::kDisplayFrameSize); });
        tick.start(15); // 67 frames a second
        thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        t0 = Clock::now();
        runFor(seconds * 1000);
        wall = std::chrono::duration<double>(Clock::now() - t0).count();
        tick.stop();
        form.context().link.setPort(saved);
        row("  compare: RecPkt and repaints, 67 frames/s whose data change, from memory, window "
            "thread",
            (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0) / wall * 100.0, "% of a core");
    }
};

} // namespace

int main(int argc, char **argv)
{
    const auto processStart = Clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    Pty pty;
    if (!dir.isValid() || pty.master < 0) {
        std::fprintf(stderr, "bench_window: no temporary folder or pseudo-terminal\n");
        return 1;
    }
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
    CyclingPort cycling; // made before the first memory reading

    // Start-up: the application object, then the window built and shown until it has painted.
    const auto appStart = Clock::now();
    QApplication app(argc, argv);
    const auto formStart = Clock::now();
    TForm1 form(options);
    PaintSeen paint;
    form.installEventFilter(&paint);
    form.show();
    runUntil([&] { return paint.painted; }, 5000);
    const auto shown = Clock::now();
    form.removeEventFilter(&paint);
    auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    row("start-up in process: TForm1 built and shown until its first paint", ms(shown - formStart),
        "ms", Goal::Below, 300);
    row("start-up in process: main() to first paint (QApplication included)",
        ms(shown - processStart), "ms", Goal::Below, 300);
    (void)appStart;

    // Memory over a million frames through RecPkt, with the window repainting as it goes.
    runFor(200);
    const double rssStart = residentMB();
    CommPort *realPort = form.context().link.port();
    form.context().link.setPort(&cycling);
    constexpr int kMillion = 1000000;
    constexpr int kChunkFrames = 4;
    double rssWarm = 0;
    QElapsedTimer feed;
    feed.start();
    for (int f = 0; f < kMillion; f += kChunkFrames) {
        form.displayLines().RecPkt(nullptr, kChunkFrames * Frames::kDisplayFrameSize);
        if (f % 400 == 0)
            QCoreApplication::processEvents();
        if (f == 10000)
            rssWarm = residentMB();
    }
    QCoreApplication::processEvents();
    const double feedSeconds = feed.nsecsElapsed() / 1e9;
    const double rssEnd = residentMB();
    form.context().link.setPort(realPort);
    if (form.displayLines().goodFrames() != quint64(kMillion)) {
        std::fprintf(stderr, "bench_window: %llu of a million frames handled\n",
                     (unsigned long long)form.displayLines().goodFrames());
        return 1;
    }
    row("resident memory after start-up", rssStart, "MB");
    row("resident memory after 1,000,000 frames", rssEnd, "MB");
    row("resident memory growth over 1,000,000 frames", rssEnd - rssStart, "MB", Goal::Below, 1);
    row("resident memory growth over the last 990,000 frames", rssEnd - rssWarm, "MB");
    row("RecPkt into the window from memory, repainting every 400 frames", kMillion / feedSeconds,
        "frames/s");

    // The window on its real port from here on, counted on the way in.
    CountingPort counter(*realPort);
    form.context().link.setPort(&counter);
    Bench b{form, counter, pty, unitLink};
    b.keyPressLatency();
    b.fullSpeedPty();
    b.unitAlone({"--fast", "--refresh", "0"}, 2);
    b.unitFast(runSeconds(20) >= 10 ? 5 : 2);
    b.pacedCpu(runSeconds(20));
    b.pacedSplit(std::max(2, runSeconds(20) / 4));
    b.pacedCpu(std::max(2, runSeconds(20) / 4), true);
    form.context().link.setPort(realPort);
    return 0;
}
