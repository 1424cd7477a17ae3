// Receiver throughput: the decoding core from memory, and RecPkt with the real window
// (offscreen), both without a serial port in the way.
#include "bench/BenchSupport.h"
#include "link/FrameSync.h"
#include "ui/DisplayLines.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace bench;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Decoding core.
    const QByteArray stream = frameStream(200000);
    FrameSync sync;
    quint64 good = 0;
    QElapsedTimer timer;
    timer.start();
    constexpr int kRounds = 20;
    for (int r = 0; r < kRounds; ++r) {
        for (char c : stream) {
            if (sync.push(static_cast<unsigned char>(c)) == FrameSync::Verdict::Good) {
                ++good;
                sync.clearText();
            }
        }
    }
    const double coreSeconds = timer.nsecsElapsed() / 1e9;
    if (good != quint64(kRounds) * 200000) {
        std::fprintf(stderr, "decoding core lost frames: %llu\n", (unsigned long long)good);
        return 1;
    }
    row("decoding core (FrameSync, from memory)",
        double(stream.size()) * kRounds / coreSeconds / 1e6, "MB/s", Goal::AtLeast, 100);

    // RecPkt with the real window.
    QTemporaryDir dir;
    TForm1::Options options;
    options.settingsPath = dir.filePath("bench.ini");
    TForm1 form(options);
    form.show();
    constexpr int kFrames = 200000;
    MemoryPort port(frameStream(kFrames));
    form.context().link.setPort(&port);
    timer.restart();
    while (port.remaining() > 0) {
        // Receive events of a few frames each, as bytes arrive from a fast line.
        const int chunk = int(std::min<qsizetype>(port.remaining(), 4 * Frames::kDisplayFrameSize));
        form.displayLines().RecPkt(nullptr, chunk);
    }
    const double windowSeconds = timer.nsecsElapsed() / 1e9;
    if (form.displayLines().goodFrames() != kFrames) {
        std::fprintf(stderr, "window lost frames: %llu\n",
                     (unsigned long long)form.displayLines().goodFrames());
        return 1;
    }
    row("RecPkt into the window, from memory, no repaint", kFrames / windowSeconds, "frames/s");
    return 0;
}
