#include "platform/ProfileFile.h"
#include "tests/support/PtyPair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
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
