// The window reaching its unit through the real ser2net on loopback, raw TCP and RFC 2217:
//  - key press (mouse on btnIN) to the key frame's bytes at the unit's end of the line
//    (a pty behind ser2net), median and 99th percentile;
//  - end to end: qxunit --fast --refresh 0 behind ser2net into the window, frames handled per
//    second with none lost, beside the same unit on its local pty.
#include "bench/BenchSer2net.h"
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
#include <chrono>
#include <functional>
#include <poll.h>

using namespace bench;

namespace
{

using Clock = std::chrono::steady_clock;
using Mode = Ser2net::Mode;

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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
    QString folder;
    QString iniPath;

    quint64 good() { return form.displayLines().goodFrames(); }

    // COM1 leads to address; the window connects to it.
    bool connectTo(const QString &address)
    {
        QFile ini(iniPath);
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        ini.write(QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(address).toLocal8Bit());
        ini.close();
        if (auto *a = form.findChild<QAction *>(PortControl::portItemName(1)))
            form.portControl().COM011Click(a);
        form.portControl().OpenButtonClick();
        return form.CommX1().isOpen();
    }

    void keyPressLatency(Mode mode, const char *name)
    {
        Pty pty;
        Ser2net server;
        if (pty.master < 0 || !server.start(folder, pty.path, mode) ||
            !connectTo(server.address())) {
            std::fprintf(stderr, "bench_network: cannot connect through ser2net (%s)\n", name);
            return;
        }
        auto *btnIN = form.findChild<QAbstractButton *>("btnIN");
        runFor(200);
        drain(pty.master);
        const int frameSize = int(Frames::keyFrame("01").size());
        constexpr int kPresses = 500;
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
        form.portControl().CloseButtonClick();
        char measure[160];
        std::snprintf(measure, sizeof measure,
                      "key press (mouse on btnIN) through ser2net %s on loopback to the key frame "
                      "at the unit's pty, median",
                      name);
        row(measure, percentile(ms, 0.5), "ms", Goal::Below, 2);
        std::snprintf(measure, sizeof measure,
                      "key press through ser2net %s to the key frame at the unit's pty, 99th "
                      "percentile",
                      name);
        row(measure, percentile(ms, 0.99), "ms");
    }

    // qxunit --fast into the window, through ser2net (or its pty when mode is empty): good
    // frames handled per second, and every complete frame that arrived handled.
    void unitFast(const Mode *mode, const char *name, int seconds)
    {
        UnitProcess unit;
        Ser2net server;
        if (!unit.start({"--fast", "--refresh", "0"}) ||
            (mode && !server.start(folder, unit.device(), *mode)) ||
            !connectTo(mode ? server.address() : unit.device())) {
            std::fprintf(stderr, "bench_network: qxunit --fast did not connect (%s)\n", name);
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
        // A connect can land inside a frame; that one partial frame is not lost by the window.
        const long long lost = std::max(0LL, (long long)complete - (long long)handled - 1);
        char note[128];
        std::snprintf(note, sizeof note, "(%llu complete frames arrived, %llu handled, lost %lld)",
                      (unsigned long long)complete, (unsigned long long)handled, lost);
        char measure[160];
        std::snprintf(measure, sizeof measure,
                      "end to end: qxunit --fast --refresh 0 -> %s -> window, frames handled",
                      name);
        row(measure, lost == 0 ? (g1 - g0) / wall : 0.0, "frames/s", Goal::None, 0, note);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QApplication app(argc, argv);
    TForm1::Options options;
    options.settingsPath = dir.filePath("qxwatch.ini");
    {
        QFile ini(options.settingsPath);
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
    }
    TForm1 form(options);
    form.show();
    runFor(200);
    CommPort *realPort = form.context().link.port();
    CountingPort counter(*realPort);
    form.context().link.setPort(&counter);
    Bench b{form, counter, dir.path(), options.settingsPath};
    b.keyPressLatency(Mode::Raw, "raw");
    b.keyPressLatency(Mode::Rfc2217, "rfc2217");
    const int seconds = runSeconds(20) >= 10 ? 5 : 2;
    b.unitFast(nullptr, "its local pty", seconds);
    const Mode raw = Mode::Raw;
    const Mode rfc2217 = Mode::Rfc2217;
    b.unitFast(&raw, "ser2net raw", seconds);
    b.unitFast(&rfc2217, "ser2net rfc2217", seconds);
    form.context().link.setPort(realPort);
    return 0;
}
