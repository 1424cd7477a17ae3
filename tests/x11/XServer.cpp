#include "tests/x11/XServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRect>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int kStartMs = 20000;
constexpr int kToolMs = 10000;

// Starts a program with the display set, its output thrown away; extraFd stays open in it.
pid_t spawn(const QByteArray &display, const QList<QByteArray> &command, int extraFd = -1)
{
    std::vector<char *> argv;
    for (const QByteArray &a : command)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (!display.isEmpty())
            ::setenv("DISPLAY", display.constData(), 1);
        for (int fd = 3; fd < 256; ++fd)
            if (fd != extraFd)
                ::close(fd);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Whether the server process listens on the display's abstract socket, the one clients try
// first. Servers started at once on one machine can both believe a number free (their lock
// files are not seen by each other, for one); the later one then has only the socket file, and
// its clients would talk to the other server.
bool ownsDisplay(pid_t pid, const QByteArray &number)
{
    QSet<QByteArray> sockets;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::NoDotAndDotDot | QDir::System))
        sockets.insert(fd.symLinkTarget().section(QLatin1Char('/'), -1).toLatin1());
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return true; // nothing to check against
    const QByteArray name = "@/tmp/.X11-unix/X" + number;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 8 && fields[7] == name &&
            sockets.contains("socket:[" + fields[6] + "]"))
            return true;
    }
    return false;
}

void end(pid_t &pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    const QDeadlineTimer deadline(5000);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        ::usleep(10000);
    }
    pid = -1;
}

} // namespace

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(20);
    }
    return true;
}

XServer::~XServer()
{
    stop();
}

bool XServer::start(QSize screen)
{
    // A server that came up on a number another server already answers is kept running
    // until the next one has come up, so that the next one picks another number.
    std::vector<pid_t> losers;
    bool ok = false;
    for (int attempt = 0; attempt < 8 && !ok; ++attempt) {
        ok = startOnce(screen);
        if (!ok && m_server > 0) {
            losers.push_back(m_server);
            m_server = -1;
        } else if (!ok) {
            break;
        }
    }
    for (pid_t &pid : losers)
        end(pid);
    return ok;
}

bool XServer::startOnce(QSize screen)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        m_why = QStringLiteral("no pipe for the display number");
        return false;
    }
    // Xvfb writes the display number it took to the given descriptor once it takes clients.
    // Without -noreset it starts afresh whenever its last client leaves (between two X tools,
    // or before the program under test connects), and a client that comes meanwhile is
    // refused.
    m_server = spawn(
        {},
        {"Xvfb", "-displayfd", QByteArray::number(fds[1]), "-screen", "0",
         QByteArray::number(screen.width()) + 'x' + QByteArray::number(screen.height()) + "x24",
         "-nolisten", "tcp", "-noreset"},
        fds[1]);
    ::close(fds[1]);
    QByteArray number;
    const QDeadlineTimer deadline(kStartMs);
    while (!number.endsWith('\n') && m_server > 0) {
        pollfd p{fds[0], POLLIN, 0};
        const int left = int(std::max<qint64>(0, deadline.remainingTime()));
        if (::poll(&p, 1, left) <= 0)
            break;
        char buffer[32];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, n);
    }
    ::close(fds[0]);
    number = number.trimmed();
    if (number.isEmpty()) {
        m_why = QStringLiteral("Xvfb gave no display number (is it installed? scripts/setup test)");
        end(m_server);
        return false;
    }
    if (!ownsDisplay(m_server, number)) {
        m_why = QStringLiteral("display :%1 is another server's").arg(QString::fromLatin1(number));
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
    return true;
}

bool XServer::startWindowManager()
{
    // A window manager announces itself on the root window. One that ended before it did (a
    // loaded machine, the server still settling) is started again.
    const QDeadlineTimer deadline(kStartMs);
    for (int attempt = 0; attempt < 3 && !deadline.hasExpired(); ++attempt) {
        m_manager = spawn(m_display.toLocal8Bit(), {"openbox", "--sm-disable"});
        if (m_manager <= 0)
            break;
        const bool up = waitFor(
            [&] {
                if (::waitpid(m_manager, nullptr, WNOHANG) == m_manager) {
                    m_manager = -1;
                    return true;
                }
                return tool(QStringLiteral("xprop"),
                            {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains("window id");
            },
            int(std::max<qint64>(0, deadline.remainingTime())));
        if (up && m_manager > 0)
            return true;
        end(m_manager);
    }
    m_why = QStringLiteral("openbox did not take the screen %1 (is it installed? scripts/setup "
                           "test)")
                .arg(m_display);
    return false;
}

void XServer::stop()
{
    end(m_manager);
    end(m_server);
}

QProcessEnvironment XServer::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    env.remove(QStringLiteral("QT_STYLE_OVERRIDE"));
    return env;
}

QByteArray XServer::tool(const QString &program, const QStringList &arguments, int *exitCode) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, arguments);
    const bool done = p.waitForFinished(kToolMs);
    if (!done) {
        p.kill();
        p.waitForFinished();
    }
    const int code = done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (exitCode)
        *exitCode = code;
    return code == 0 ? p.readAllStandardOutput() : QByteArray();
}

QString XServer::toolText(const QString &program, const QStringList &arguments) const
{
    return QString::fromUtf8(tool(program, arguments)).trimmed();
}

QStringList XServer::windows(const QString &windowClass) const
{
    return toolText(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--class"), windowClass})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XServer::title(const QString &window) const
{
    return toolText(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window});
}

QRect XServer::geometry(const QString &window) const
{
    const QString info = toolText(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    const auto number = [&info](const char *label) {
        const QRegularExpression re(QLatin1String(label) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
                 number("Height"));
}

QString XServer::property(const QString &window, const QString &name) const
{
    return toolText(QStringLiteral("xprop"), {QStringLiteral("-id"), window, name});
}
