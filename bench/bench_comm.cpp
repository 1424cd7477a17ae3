// Serial component timings on a pseudo-terminal pair:
//  - key frame latency: SendString until the bytes are readable at the far end (median, p99);
//  - window-thread CPU per received byte while the far end sends as fast as it can, the
//    OnReceive handler taking every byte with ReadChar;
//  - CPU used by an open, idle port (no busy waiting: should be ~0).
#include "bench/BenchSupport.h"
#include "comm/CommX.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

using bench::cpuSeconds;
using bench::Goal;
using bench::Pty;
using bench::row;

void openOn(TCommX &comm, const Pty &pty)
{
    const QString path = pty.path;
    comm.setPortResolver([path](int) { return path; });
    comm.setParityBit(cpbOdd);
    comm.setFlowCtrl(cfcNone);
    comm.Open();
}

void keyFrameLatency(const Pty &pty, TCommX &comm)
{
    constexpr int kFrames = 1000;
    const QByteArray frame("*012b");
    std::vector<double> micros;
    micros.reserve(kFrames);
    char buf[64];
    for (int i = 0; i < kFrames; ++i) {
        const auto t0 = Clock::now();
        comm.SendString(frame);
        int got = 0;
        while (got < frame.size()) {
            pollfd p{pty.master, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(pty.master, buf, sizeof buf);
            if (n > 0)
                got += int(n);
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    row("SendString to bytes at the pty master, median", bench::percentile(micros, 0.5) / 1000.0,
        "ms", Goal::Below, 1);
    row("SendString to bytes at the pty master, 99th percentile",
        bench::percentile(micros, 0.99) / 1000.0, "ms");
}

void receiveCost(const Pty &pty, TCommX &comm)
{
    constexpr qint64 kBytes = 4 * 1024 * 1024;
    qint64 received = 0;
    QEventLoop loop;
    auto c = QObject::connect(&comm, &TCustomCommX::OnReceive, &loop, [&](QObject *, int n) {
        for (int i = 0; i < n; ++i) {
            if (comm.ReadChar() < 0)
                break;
            ++received;
        }
        if (received >= kBytes)
            loop.quit();
    });
    std::thread sender([&] {
        // Display frames, back to back, as fast as the pty takes them.
        const QByteArray frame("@1IN 001 00FF X\r");
        QByteArray block;
        while (block.size() < 4096)
            block += frame;
        int fd = ::dup(pty.master);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        qint64 sent = 0;
        while (sent < kBytes) {
            const ssize_t n = ::write(fd, block.constData(),
                                      size_t(std::min<qint64>(block.size(), kBytes - sent)));
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(fd);
    });
    const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto t0 = Clock::now();
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    sender.join();
    QObject::disconnect(c);
    if (received < kBytes)
        std::fprintf(stderr, "bench_comm: received %lld of %lld bytes\n",
                     static_cast<long long>(received), static_cast<long long>(kBytes));
    row("TCommX receive rate, pty at full speed, ReadChar per byte", double(received) / wall / 1e6,
        "MB/s");
    row("TCommX window-thread CPU per received byte", received ? cpu * 1e9 / double(received) : 0.0,
        "ns");
}

void idleCost(TCommX &)
{
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    const double cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    loop.exec();
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    row("TCommX open and idle, process CPU", cpu * 100.0 / 2.0, "% of a core");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Pty pty;
    if (pty.master < 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    TCommX comm;
    openOn(comm, pty);
    keyFrameLatency(pty, comm);
    idleCost(comm);
    receiveCost(pty, comm);
    comm.Close();
    return 0;
}
