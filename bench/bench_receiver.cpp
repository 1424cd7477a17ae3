// Receiver throughput: the decoding core from memory, and RecPkt with the real window
// (offscreen). Prints rows of the benchmark table: name, figure, unit, target.
#include "link/CommPort.h"
#include "link/FrameSync.h"
#include "link/Frames.h"
#include "ui/DisplayLines.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace
{

// A mix of frames like a unit's: four lines, data changing, one line with the cursor.
QByteArray frameStream(int frames)
{
    QByteArray out;
    out.reserve(frames * Frames::kDisplayFrameSize);
    for (int i = 0; i < frames; ++i) {
        const int line = i % 4;
        const char headerB = char(0x70 | line | (line == 1 ? 4 : 0));
        const QByteArray data =
            QByteArray::number((i / 4) & 0xFFFF, 16).toUpper().rightJustified(4, '0');
        out += Frames::displayFrame('r', headerB, line < 2 ? '1' : '2', "016", data);
    }
    return out;
}

class MemoryPort : public CommPort
{
public:
    explicit MemoryPort(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    bool SendString(const QByteArray &) override { return true; }
    int ReadChar() override
    {
        return m_pos < m_bytes.size() ? static_cast<unsigned char>(m_bytes[m_pos++]) : -1;
    }
    bool isOpen() const override { return true; }
    qsizetype remaining() const { return m_bytes.size() - m_pos; }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

void row(const char *name, double value, const char *unit, const char *target)
{
    std::printf("| %-44s | %14.1f | %-10s | %-12s |\n", name, value, unit, target);
}

} // namespace

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
    row("decoding core", double(stream.size()) * kRounds / coreSeconds / 1e6, "MB/s", ">= 100");

    // RecPkt with the real window.
    QTemporaryDir dir;
    TForm1::Options options;
    options.settingsPath = dir.filePath("bench.ini");
    TForm1 form(options);
    form.show();
    constexpr int kFrames = 200000;
    MemoryPort port(frameStream(kFrames));
    form.context().port = &port;
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
    row("RecPkt with the window (offscreen)", kFrames / windowSeconds, "frames/s", "");
    return 0;
}
