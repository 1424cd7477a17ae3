#include "platform/SignalWatcher.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr int kMaxSignal = 65;

int g_pipe[2] = {-1, -1};
// Signals seen and not yet ended the program: a second one takes its default action.
std::atomic<bool> g_seen[kMaxSignal];
struct sigaction g_previous[kMaxSignal];

extern "C" void onSignal(int sig)
{
    const int saved = errno;
    if (sig > 0 && sig < kMaxSignal && g_seen[sig].exchange(true)) {
        ::signal(sig, SIG_DFL);
        ::raise(sig);
    }
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
    errno = saved;
}

} // namespace

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent), m_signals(signalNumbers)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_signals.clear(); // no pipe: the signals keep their default action
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readPipe);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : std::as_const(m_signals)) {
        if (sig <= 0 || sig >= kMaxSignal)
            continue;
        g_seen[sig] = false;
        ::sigaction(sig, &sa, &g_previous[sig]);
    }
}

SignalWatcher::~SignalWatcher()
{
    for (const int sig : std::as_const(m_signals)) {
        if (sig > 0 && sig < kMaxSignal)
            ::sigaction(sig, &g_previous[sig], nullptr);
    }
}

void SignalWatcher::readPipe()
{
    unsigned char buf[64];
    ssize_t n;
    while ((n = ::read(g_pipe[0], buf, sizeof buf)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(buf[i]);
    }
}
