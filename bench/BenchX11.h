#pragma once
// The pieces of the benchmarks that put the window on a real display: a virtual X server of
// their own (Xvfb, -displayfd), a child process that plays the unit into a pseudo-terminal at
// the line's pace, the event loop run for a while or until a condition, and a process's CPU
// time.
#include "bench/BenchSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/wait.h>

namespace bench
{

using Clock = std::chrono::steady_clock;

// 9600 bit/s, 10 bits a byte on the wire: 960 bytes, 73.8 frames of 13 bytes a second.
constexpr double kLineBytesPerSecond = 960.0;

inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() or ms milliseconds, looking every 5 ms (sleeping between:
// a busy wait would itself show in the CPU measured).
inline bool runUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        runFor(5);
    return done();
}

// CPU seconds (user + system, every thread) of a process, from /proc/PID/stat.
inline double processCpuSeconds(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    QFile f(QString::fromLatin1(path));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = f.readAll();
    // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The unit's side of the line in a child process made before any thread: told a stream and a
// length over a pipe, it writes frames into the pty master at the line's pace and answers with
// the number of frames written.
class PacedWriter
{
public:
    enum Stream : char { Changing = 'c', Unchanged = 'u' };

    explicit PacedWriter(int master)
    {
        int toChild[2], toParent[2];
        if (::pipe(toChild) != 0 || ::pipe(toParent) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toChild[1]);
            ::close(toParent[0]);
            serve(master, toChild[0], toParent[1]);
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(toParent[1]);
        m_command = toChild[1];
        m_answer = toParent[0];
    }
    ~PacedWriter()
    {
        if (m_pid > 0) {
            ::close(m_command);
            ::close(m_answer);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;

    bool ok() const { return m_pid > 0; }

    void start(Stream stream, int seconds)
    {
        const char command[2] = {char(stream), char(seconds)};
        if (::write(m_command, command, 2) != 2)
            std::fprintf(stderr, "bench: the writer is gone\n");
    }
    // Runs the event loop until the writer answers (at most ms): a notifier on the answer
    // pipe, so the wait itself costs no CPU that would show in the figures.
    bool waitForAnswer(int ms)
    {
        QEventLoop loop;
        QSocketNotifier answer(m_answer, QSocketNotifier::Read);
        QObject::connect(&answer, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        pollfd p{m_answer, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0)
            loop.exec();
        return ::poll(&p, 1, 0) > 0;
    }
    // The frames written, once the stream has ended (-1 when the writer is gone).
    int finished()
    {
        int frames = -1;
        if (::read(m_answer, &frames, sizeof frames) != sizeof frames)
            return -1;
        return frames;
    }

private:
    static void serve(int master, int commands, int answers)
    {
        char command[2];
        while (::read(commands, command, 2) == 2) {
            const bool changing = command[0] == Changing;
            const int seconds = command[1];
            // Four lines, the second one with the cursor; changing: each line's data word
            // steps with every frame of it; unchanged: the same four frames again and again.
            const QByteArray stream = frameStream(4096);
            const QByteArray still = frameStream(4);
            const int size = Frames::kDisplayFrameSize;
            const auto period = std::chrono::nanoseconds(qint64(1e9 * size / kLineBytesPerSecond));
            const int total = int(seconds * kLineBytesPerSecond / size);
            auto next = Clock::now();
            int written = 0;
            for (int i = 0; i < total; ++i) {
                const QByteArray &from = changing ? stream : still;
                const int at = (i * size) % int(from.size());
                if (::write(master, from.constData() + at, size_t(size)) != size)
                    break;
                ++written;
                next += period;
                const auto ns =
                    std::chrono::duration_cast<std::chrono::nanoseconds>(next.time_since_epoch());
                timespec ts{time_t(ns.count() / 1000000000), long(ns.count() % 1000000000)};
                ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
            }
            if (::write(answers, &written, sizeof written) != sizeof written)
                break;
        }
    }

    pid_t m_pid = -1;
    int m_command = -1;
    int m_answer = -1;
};

// A virtual X server that picks its own display number (-displayfd).
class VirtualDisplay
{
public:
    VirtualDisplay()
    {
        int number[2];
        if (::pipe(number) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(number[0]);
            const int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
            char fd[16];
            std::snprintf(fd, sizeof fd, "%d", number[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten",
                     "tcp", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(number[1]);
        char text[32] = {};
        std::size_t got = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (got < sizeof text - 1 && Clock::now() < deadline) {
            pollfd p{number[0], POLLIN, 100};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::read(number[0], text + got, sizeof text - 1 - got);
            if (n <= 0)
                break;
            got += std::size_t(n);
            if (std::memchr(text, '\n', got))
                break;
        }
        ::close(number[0]);
        const int display = std::atoi(text);
        if (got > 0 && display >= 0)
            m_display = QStringLiteral(":%1").arg(display);
    }
    ~VirtualDisplay()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    const QString &display() const { return m_display; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    QString m_display;
};

} // namespace bench
