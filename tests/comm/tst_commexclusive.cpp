#include "tests/comm/CommTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace CommTest;

namespace
{

using Kind = CommFailure::Holder::Kind;

QString ownCommand()
{
    QFile comm(QStringLiteral("/proc/self/comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                          : QString();
}

// Another process, forked from this one (so it has this program's name), that holds the device
// the way a program of another kind would. It lets go when destroyed.
class HolderProcess
{
public:
    enum How { Nothing, Open, Flock, Exclusive, BothEnds };

    HolderProcess(How how, const QString &path = QString(), int master = -1)
    {
        const QByteArray native = QFile::encodeName(path);
        int ready[2], stop[2];
        if (::pipe(ready) != 0 || ::pipe(stop) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only what the holder holds: nothing inherited from the test stays open.
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != ready[1] && fd != stop[0] && !(how == BothEnds && fd == master))
                    ::close(fd);
            }
            bool ok = true;
            if (how != Nothing) {
                const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                ok = fd >= 0;
                if (ok && how == Flock)
                    ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
                if (ok && how == Exclusive)
                    ok = ::ioctl(fd, TIOCEXCL) == 0;
            }
            char c = ok ? 'y' : 'n';
            [[maybe_unused]] ssize_t n = ::write(ready[1], &c, 1);
            n = ::read(stop[0], &c, 1); // until the test closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(stop[0]);
        m_stop = stop[1];
        char c = 0;
        m_ok = ::read(ready[0], &c, 1) == 1 && c == 'y';
        ::close(ready[0]);
    }
    ~HolderProcess() { end(); }
    void end()
    {
        if (m_pid <= 0)
            return;
        ::close(m_stop);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    bool ok() const { return m_pid > 0 && m_ok; }
    qint64 pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_stop = -1;
    bool m_ok = false;
};

// The child of exclusiveModeKeepsOutOtherUsers: opens the device with a component of its own
// and tells how that went by its exit status (0 opened, else 10 + the reason).
int openAsChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TCommX comm;
    comm.setLockFolder(QString());
    useDevice(comm, QString::fromLocal8Bit(argv[2]));
    try {
        comm.Open();
    } catch (const ECommError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.detail()));
        return 10 + int(e.failure().reason);
    }
    return 0;
}

// Runs this program as openAsChild, as the user nobody when this test runs as root.
int runChild(const QString &device)
{
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray path = QFile::encodeName(device);
    const passwd *nobody = ::getuid() == 0 ? ::getpwnam("nobody") : nullptr;
    const uid_t uid = nobody ? nobody->pw_uid : ::getuid();
    const gid_t gid = nobody ? nobody->pw_gid : ::getgid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::getuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(99);
        const char *args[] = {self.constData(), "--open-as-child", path.constData(), nullptr};
        ::execv(self.constData(), const_cast<char **>(args));
        ::_exit(98);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// Exclusive open: every kind of holder keeps the component out and is named, UUCP lock files
// are honoured, made and removed, and closing gives everything back.
class tst_CommExclusive : public QObject
{
    Q_OBJECT

    std::optional<Pty> m_pty;
    QTemporaryDir m_locks;

    void useLocks(TCustomCommX &comm) { comm.setLockFolder(m_locks.path()); }
    QString lockPath() const
    {
        return m_locks.filePath(QStringLiteral("LCK..") +
                                m_pty->slavePath().mid(5).replace('/', '_'));
    }
    void writeLock(const QByteArray &content)
    {
        QFile f(lockPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

private slots:
    void init()
    {
        QVERIFY(m_pty.emplace().isValid());
        QVERIFY(m_locks.isValid());
        QFile::remove(lockPath());
    }
    void cleanup() { m_pty.reset(); }

    void refusesAndNamesEveryKindOfHolder_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("lockForm");
        QTest::newRow("another process has the tty open")
            << int(HolderProcess::Open) << int(Kind::Open) << "";
        QTest::newRow("another process holds a flock on it")
            << int(HolderProcess::Flock) << int(Kind::Flock) << "";
        QTest::newRow("another process put it in exclusive mode")
            << int(HolderProcess::Exclusive) << int(Kind::Exclusive) << "";
        QTest::newRow("a lock file names a live process")
            << int(HolderProcess::Nothing) << int(Kind::LockFile) << "uucp";
        QTest::newRow("a Qt program's lock file names a live process")
            << int(HolderProcess::Nothing) << int(Kind::LockFile) << "qt";
    }
    void refusesAndNamesEveryKindOfHolder()
    {
        QFETCH(int, how);
        QFETCH(int, kind);
        QFETCH(QString, lockForm);
        HolderProcess holder(HolderProcess::How(how), m_pty->slavePath());
        QVERIFY(holder.ok());
        const QByteArray pid = QByteArray::number(holder.pid());
        if (lockForm == "uucp")
            writeLock(pid.rightJustified(10, ' ') + '\n');
        else if (lockForm == "qt") // QLockFile's: pid, program name and host, one a line
            writeLock(pid + "\nqtterm\nhost\n");

        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        useLocks(comm);
        try {
            comm.Open();
            QFAIL("opened a port another program holds");
        } catch (const ECommError &e) {
            QCOMPARE(e.message(), kCannotOpen);
            const CommFailure &f = e.failure();
            QCOMPARE(f.reason, CommFailure::Reason::Busy);
            QCOMPARE(int(f.holder.kind), kind);
            QCOMPARE(f.holder.pid, holder.pid());
            QCOMPARE(f.holder.command, ownCommand());
            QVERIFY2(e.detail().contains(QStringLiteral("PID %1").arg(holder.pid())),
                     qPrintable(e.detail()));
            QVERIFY2(e.detail().startsWith(QStringLiteral("COM1: %1 は").arg(m_pty->slavePath())),
                     qPrintable(e.detail()));
        }
        QVERIFY(!comm.isOpen());
        if (how == HolderProcess::Nothing)
            QVERIFY(QFile::exists(lockPath())); // a live holder's lock is left alone

        holder.end();
        // Exclusive mode outlives its holder on a pty; only root may open it then.
        if (how == HolderProcess::Exclusive && ::geteuid() != 0)
            return;
        comm.Open();
        QVERIFY(comm.isOpen());
    }

    void opensDespiteWhatHoldsNobodyOut_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("the far end of the pty keeps its slave open") << "far end";
        QTest::newRow("a lock file whose process has gone") << "stale lock";
        QTest::newRow("an empty lock file left long ago") << "old empty lock";
        QTest::newRow("exclusive mode left by a program that has ended") << "stale exclusive";
    }
    void opensDespiteWhatHoldsNobodyOut()
    {
        QFETCH(QString, situation);
        std::optional<HolderProcess> holder;
        if (situation == "far end") {
            holder.emplace(HolderProcess::BothEnds, m_pty->slavePath(), m_pty->master());
            QVERIFY(holder->ok());
        } else if (situation == "stale lock") {
            QFile max(QStringLiteral("/proc/sys/kernel/pid_max"));
            QVERIFY(max.open(QIODevice::ReadOnly));
            const qint64 beyond = max.readAll().trimmed().toLongLong() + 1;
            writeLock(QByteArray::number(beyond).rightJustified(10, ' ') + '\n');
        } else if (situation == "old empty lock") {
            writeLock(QByteArray());
            QFile f(lockPath());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                  QFileDevice::FileModificationTime));
        } else if (situation == "stale exclusive") {
            if (::geteuid() != 0)
                QSKIP("only root can open a tty in exclusive mode");
            HolderProcess ended(HolderProcess::Exclusive, m_pty->slavePath());
            QVERIFY(ended.ok());
        }

        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        useLocks(comm);
        comm.Open();
        QVERIFY(comm.isOpen());
        // The lock file is ours now, in the usual ten-character form.
        QFile lock(lockPath());
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readAll(), QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n');
    }

    void givesEverythingBackOnCloseAndOnLoss_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::newRow("closed") << false;
        QTest::newRow("device lost") << true;
    }
    void givesEverythingBackOnCloseAndOnLoss()
    {
        QFETCH(bool, lost);
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        useLocks(comm);
        comm.Open();
        QVERIFY(QFile::exists(lockPath()));
        int exclusive = 0;
        QCOMPARE(::ioctl(m_pty->slave(), TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 1);

        if (lost) {
            QSignalSpy gone(&comm, &TCustomCommX::OnDeviceLost);
            m_pty->closeMaster();
            QVERIFY(gone.wait(5000));
        } else {
            comm.Close();
        }
        QVERIFY(!QFile::exists(lockPath()));
        if (!lost) {
            QCOMPARE(::ioctl(m_pty->slave(), TIOCGEXCL, &exclusive), 0);
            QCOMPARE(exclusive, 0);
            // The flock went with it: anyone may take one now.
            const int fd = ::open(m_pty->slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
            QVERIFY(fd >= 0);
            QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
            ::close(fd);
        }
    }

    void aSecondPortOfThisProgramIsKeptOutByTheLockFile()
    {
        TCommX first, second;
        for (TCommX *c : {&first, &second}) {
            useDevice(*c, m_pty->slavePath());
            useLocks(*c);
        }
        first.Open();
        try {
            second.Open();
            QFAIL("opened twice");
        } catch (const ECommError &e) {
            QCOMPARE(e.failure().reason, CommFailure::Reason::Busy);
            QCOMPARE(e.failure().holder.kind, Kind::LockFile);
            QCOMPARE(e.failure().holder.pid, qint64(::getpid()));
        }
        first.Close();
        second.Open();
        QVERIFY(second.isOpen());
    }

    void exclusiveModeKeepsOutOtherUsers()
    {
        // The other user must be allowed to open the tty itself.
        QCOMPARE(::chmod(m_pty->slavePath().toLocal8Bit().constData(), 0666), 0);
        TCommX comm;
        useDevice(comm, m_pty->slavePath());
        useLocks(comm);
        comm.Open();
        QCOMPARE(runChild(m_pty->slavePath()), 10 + int(CommFailure::Reason::Busy));
        comm.Close();
        // Exclusive mode was given back with the port.
        QCOMPARE(runChild(m_pty->slavePath()), 0);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--open-as-child") == 0)
        return openAsChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_CommExclusive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commexclusive.moc"
