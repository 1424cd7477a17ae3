#include "platform/ProfileFile.h"
#include "tests/support/PtyPair.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

// The real qxwatch program, run offscreen from a folder of its own (its settings file lives
// beside it): the command line's port options, and an end by signal that leaves no trace.
class tst_QxwatchPort : public QObject
{
    Q_OBJECT

    // Whether process pid has device open (a descriptor of it in /proc/<pid>/fd).
    static bool holdsDevice(qint64 pid, const QString &device)
    {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == device)
                return true;
        }
        return false;
    }

    QTemporaryDir m_dir;
    QString m_program;

    void start(QProcess &p, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(m_program, args);
        QVERIFY(p.waitForStarted(5000));
    }

private slots:
    void initTestCase()
    {
        m_program = m_dir.filePath("qxwatch");
        QVERIFY(QFile::copy(QStringLiteral(QXWATCH_PATH), m_program));
    }
    void init() { QFile::remove(m_dir.filePath("qxwatch.ini")); }

    void endsLikeClosingTheWindowOnASignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void endsLikeClosingTheWindowOnASignal()
    {
        QFETCH(int, signalNumber);
        const QString lockFolder = QFileInfo("/run/lock").isDir() ? "/run/lock" : "/var/lock";
        if (!QFileInfo(lockFolder).isWritable())
            QSKIP("this user cannot make lock files in the system's lock folder");
        PtyPair pty;
        QVERIFY(pty.isValid());
        const QString lock =
            lockFolder + "/LCK.." + pty.slavePath().mid(5).replace(QLatin1Char('/'), '_');

        QProcess qxwatch;
        start(qxwatch, {"--port", "COM1=" + pty.slavePath(), "--connect"});
        // The lock file is made first, then the pty opened; /proc shows that without our own
        // open of the pty, which would make us a second user and keep the program out.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(holdsDevice(qxwatch.processId(), pty.slavePath()), 10000);

        ::kill(pid_t(qxwatch.processId()), signalNumber);
        QVERIFY(qxwatch.waitForFinished(10000));
        QCOMPARE(qxwatch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(qxwatch.exitCode(), 0);
        QVERIFY(!QFile::exists(lock));
        // Exclusive mode was given back: the pty opens and is not exclusive.
        const int fd = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        int exclusive = -1;
        QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 0);
        ::close(fd);
        // The settings were written, and the run's port was not.
        const ProfileFile ini(m_dir.filePath("qxwatch.ini"));
        QCOMPARE(ini.readString("COM", "Port", "?"), QString("1"));
        QCOMPARE(ini.readString("PORTS", "COM1", "none"), QString("none"));
    }

    void startsPastASettingsFileThatIsAFifo()
    {
        const QString lockFolder = QFileInfo("/run/lock").isDir() ? "/run/lock" : "/var/lock";
        if (!QFileInfo(lockFolder).isWritable())
            QSKIP("this user cannot make lock files in the system's lock folder");
        const QString fifo = m_dir.filePath("qxwatch.ini");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QTemporaryDir config;
        PtyPair pty;
        QVERIFY(pty.isValid());

        QProcess qxwatch;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", config.path());
        qxwatch.setProcessEnvironment(env);
        qxwatch.start(m_program, {"--port", "COM1=" + pty.slavePath(), "--connect"});
        QVERIFY(qxwatch.waitForStarted(5000));
        // Start-up got through to the connect: the FIFO held nothing up.
        QTRY_VERIFY_WITH_TIMEOUT(holdsDevice(qxwatch.processId(), pty.slavePath()), 10000);
        ::kill(pid_t(qxwatch.processId()), SIGTERM);
        QVERIFY(qxwatch.waitForFinished(10000));
        QCOMPARE(qxwatch.exitStatus(), QProcess::NormalExit);
        const QString err = QString::fromLocal8Bit(qxwatch.readAllStandardError());
        QVERIFY2(err.contains(
                     QStringLiteral("ファイル %1 は通常のファイルではないため開けません（FIFO）")
                         .arg(fifo)),
                 qPrintable(err));
        // The FIFO is left as it is; the settings went to the user's file.
        struct stat st {
        };
        QCOMPARE(::stat(QFile::encodeName(fifo).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        const ProfileFile user(config.filePath("qxwatch/qxwatch.ini"));
        QCOMPARE(user.readString("COM", "Port", "?"), QString("1"));
        QFile::remove(fifo);
    }

    void aSignalDuringANetworkConnectEndsAtOnce()
    {
        // A listener whose queue is full: the connect stays in SYN-SENT for its 3 s.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
        QVERIFY(::listen(listener, 0) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) == 0);
        int fill[2];
        for (int &fd : fill) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
        const quint16 port = ntohs(a.sin_port);
        // The program's connect to the port waiting for its answer (state 02, SYN-SENT): one of
        // its sockets (by inode) in the kernel's table; not one of ours, which a child has until
        // it runs the program.
        QSet<QByteArray> ours;
        for (int fd : fill) {
            struct stat st {
            };
            if (::fstat(fd, &st) == 0)
                ours.insert(QByteArray::number(quint64(st.st_ino)));
        }
        QProcess qxwatch;
        auto connecting = [port, &qxwatch, &ours] {
            QSet<QByteArray> inodes;
            const QDir fds(QStringLiteral("/proc/%1/fd").arg(qxwatch.processId()));
            for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
                const QString target = fd.symLinkTarget().section('/', -1);
                if (target.startsWith("socket:["))
                    inodes.insert(target.mid(8).chopped(1).toLatin1());
            }
            QFile f("/proc/net/tcp");
            if (!f.open(QIODevice::ReadOnly))
                return false;
            const QByteArray remote =
                ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
            for (const QByteArray &line : f.readAll().split('\n')) {
                const QList<QByteArray> cols = line.simplified().split(' ');
                if (cols.size() > 9 && cols.at(2).endsWith(remote) && cols.at(3) == "02" &&
                    inodes.contains(cols.at(9)) && !ours.contains(cols.at(9)))
                    return true;
            }
            return false;
        };
        start(qxwatch,
              {"--port", QStringLiteral("COM1=tcp://127.0.0.1:%1").arg(port), "--connect"});
        QTRY_VERIFY_WITH_TIMEOUT(connecting(), 10000);
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(qxwatch.processId()), SIGTERM);
        QVERIFY(qxwatch.waitForFinished(10000));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(qxwatch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(qxwatch.exitCode(), 0);
        for (int fd : fill)
            ::close(fd);
        ::close(listener);
    }

    void refusesAPortOptionItCannotUse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("said");
        const QByteArray wants = "--port wants COMn=DEVICE";
        QTest::newRow("a port beyond COM16")
            << QStringList{"--port", "COM17=/dev/ttyUSB0"} << wants;
        QTest::newRow("no device") << QStringList{"--port=COM1="} << wants;
        QTest::newRow("nothing after the option")
            << QStringList{"--port"} << QByteArray("Missing value after '--port'");
    }
    void refusesAPortOptionItCannotUse()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, said);
        QProcess qxwatch;
        start(qxwatch, args);
        QVERIFY(qxwatch.waitForFinished(10000));
        QCOMPARE(qxwatch.exitCode(), 2);
        const QByteArray err = qxwatch.readAllStandardError();
        QVERIFY2(err.contains(said), err.constData());
        QVERIFY(!QFile::exists(m_dir.filePath("qxwatch.ini")));
    }
};

QTEST_GUILESS_MAIN(tst_QxwatchPort)
#include "tst_qxwatchport.moc"
