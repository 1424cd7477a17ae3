#pragma once
// Shared pieces of the benchmark programs: the table row, a unit-like frame stream, an in-memory
// port, a pseudo-terminal pair, process measures (CPU clocks, resident memory) and the run
// length. Each program prints rows of one table:
//   | measure | figure | unit | target | met |
// scripts/bench prints the header once.
#include "link/CommPort.h"
#include "link/Frames.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace bench
{

enum class Goal { AtLeast, Below, None };

// One row. met is "yes"/"no" against the target, "-" for a figure without one.
inline void row(const char *measure, double figure, const char *unit, Goal goal = Goal::None,
                double target = 0, const char *note = nullptr)
{
    char targetText[32] = "";
    const char *met = "-";
    if (goal == Goal::AtLeast) {
        std::snprintf(targetText, sizeof targetText, ">= %g", target);
        met = figure >= target ? "yes" : "NO";
    } else if (goal == Goal::Below) {
        std::snprintf(targetText, sizeof targetText, "< %g", target);
        met = figure < target ? "yes" : "NO";
    }
    std::printf("| %s | %.*f | %s | %s | %s%s%s |\n", measure, figure >= 100 ? 0 : 2, figure, unit,
                targetText, met, note ? " " : "", note ? note : "");
    std::fflush(stdout);
}

// Seconds the long-running measures take: QX_BENCH_SECONDS, else the given default.
inline int runSeconds(int fallback)
{
    if (const char *s = std::getenv("QX_BENCH_SECONDS")) {
        const int v = std::atoi(s);
        if (v > 0)
            return v;
    }
    return fallback;
}

// A mix of frames like a unit's: four lines, data changing, one line with the cursor.
inline QByteArray frameStream(int frames)
{
    QByteArray out;
    out.reserve(qsizetype(frames) * Frames::kDisplayFrameSize);
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
    void rewind() { m_pos = 0; }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

// Stands between the window and its real port and counts the bytes the receiver took.
class CountingPort : public CommPort
{
public:
    explicit CountingPort(CommPort &inner) : m_inner(inner) {}
    bool SendString(const QByteArray &text) override { return m_inner.SendString(text); }
    int ReadChar() override
    {
        const int v = m_inner.ReadChar();
        if (v >= 0)
            ++m_bytes;
        return v;
    }
    bool isOpen() const override { return m_inner.isOpen(); }
    quint64 bytes() const { return m_bytes; }

private:
    CommPort &m_inner;
    quint64 m_bytes = 0;
};

// A pseudo-terminal pair: the window opens the slave as its serial port, the bench is the
// unit at the master.
struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;
};

inline double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Resident set size in MB, from /proc/self/statm.
inline double residentMB()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(double(v.size()) * p))];
}

} // namespace bench
