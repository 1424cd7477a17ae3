#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "platform/RegularFile.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

ino_t inodeOf(const QString &path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A file size limit for the lifetime of the scope: writes beyond it fail part-way.
class SizeLimit
{
public:
    explicit SizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

// Counts what happens to the files of one folder: opens, and files renamed into it.
class FolderWatch
{
public:
    explicit FolderWatch(const QString &folder) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN | IN_MOVED_TO);
    }
    ~FolderWatch() { ::close(m_fd); }
    bool isValid() const { return m_fd >= 0; }

    // Events on the file named name since the last call.
    void count(const QString &name, int *opens, int *renamesInto)
    {
        *opens = 0;
        *renamesInto = 0;
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t at = 0; at < n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(buffer + at);
                if (e->len > 0 && QFile::decodeName(e->name) == name) {
                    *opens += (e->mask & IN_OPEN) ? 1 : 0;
                    *renamesInto += (e->mask & IN_MOVED_TO) ? 1 : 0;
                }
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
    }

private:
    int m_fd;
};

} // namespace

// How the program opens the files it reads and replaces the files it writes: only regular files
// are read, never waiting on a FIFO or reading a device; writes go through link chains to the
// real file, respect write protection, and never report a failed write as done.
class tst_FileAccess : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void readsOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("FIFO") << "fifo" << int(RegularFile::Status::NotRegular) << "FIFO";
        QTest::newRow("folder") << "folder" << int(RegularFile::Status::NotRegular) << "フォルダ";
        QTest::newRow("endless device")
            << "/dev/zero" << int(RegularFile::Status::NotRegular) << "デバイス";
        QTest::newRow("link to a FIFO")
            << "fifolink" << int(RegularFile::Status::NotRegular) << "FIFO";
        QTest::newRow("missing") << "none" << int(RegularFile::Status::Missing)
                                 << "ファイルが見つかりません";
    }
    void readsOnlyRegularFiles()
    {
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QString, said);
        if (!QFileInfo::exists(path("fifo"))) {
            QCOMPARE(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
            QVERIFY(QDir(m_dir.path()).mkdir("folder"));
            QVERIFY(QFile::link(path("fifo"), path("fifolink")));
        }
        const QString file = name.startsWith('/') ? name : path(name);
        // A read that blocked on the FIFO or ran on through /dev/zero would never come back.
        ::alarm(20);
        const RegularFile::Result r = RegularFile::read(file);
        const QString profileValue = ProfileFile(file).readString("COM", "Port", "1");
        const QString profileProblem = ProfileFile(file).readProblem();
        ::alarm(0);
        QCOMPARE(int(r.status), status);
        QVERIFY(r.bytes.isEmpty());
        QVERIFY2(RegularFile::problem(file, r).contains(said),
                 qPrintable(RegularFile::problem(file, r)));
        QCOMPARE(profileValue, QString("1"));
        // A missing settings file is no problem; anything else is named.
        QCOMPARE(profileProblem.isEmpty(), status == int(RegularFile::Status::Missing));
    }

    void readsThroughLinksAndHonoursALimit()
    {
        writeFile(path("real.txt"), "0123456789");
        QVERIFY(QFile::link(path("real.txt"), path("real.lnk")));
        RegularFile::Result r = RegularFile::read(path("real.lnk"));
        QCOMPARE(int(r.status), int(RegularFile::Status::Read));
        QCOMPARE(r.bytes, QByteArray("0123456789"));
        r = RegularFile::read(path("real.txt"), 9);
        QCOMPARE(int(r.status), int(RegularFile::Status::TooLarge));
        QVERIFY(r.bytes.isEmpty());
        QCOMPARE(RegularFile::read(path("real.txt"), 10).bytes, QByteArray("0123456789"));
    }

    void writesTheEndOfALinkChain()
    {
        // name -> middle (relative, another folder) -> real file.
        QVERIFY(QDir(m_dir.path()).mkpath("chain/deep"));
        writeFile(path("chain/deep/real.csv"), "old\r\n");
        QVERIFY(QFile::link("deep/real.csv", path("chain/middle.csv")));
        QVERIFY(QFile::link(path("chain/middle.csv"), path("name.csv")));
        for (const QByteArray &content : {QByteArray("new\r\n"), QByteArray("newer\r\n")}) {
            const AtomicFile::Result r = AtomicFile::replace(path("name.csv"), content);
            QVERIFY(bool(r));
            QCOMPARE(readFile(path("chain/deep/real.csv")), content);
            QVERIFY(QFileInfo(path("name.csv")).isSymLink());
            QVERIFY(QFileInfo(path("chain/middle.csv")).isSymLink());
        }
        QCOMPARE(AtomicFile::finalTarget(path("name.csv")),
                 path("chain/middle.csv").replace("middle.csv", "deep/real.csv"));
    }

    void refusesADanglingLinkAndALoop()
    {
        QVERIFY(QFile::link(path("gone.csv"), path("dangling.csv")));
        AtomicFile::Result r = AtomicFile::replace(path("dangling.csv"), "x\r\n");
        QCOMPARE(int(r.status), int(AtomicFile::Status::DanglingLink));
        QVERIFY(!QFileInfo::exists(path("gone.csv")));
        QCOMPARE(AtomicFile::problem(path("dangling.csv"), r),
                 QStringLiteral("ファイル %1 を作成できません（リンク先 %2 がありません）")
                     .arg(path("dangling.csv"), path("gone.csv")));

        QVERIFY(QFile::link(path("loop2"), path("loop1")));
        QVERIFY(QFile::link(path("loop1"), path("loop2")));
        r = AtomicFile::replace(path("loop1"), "x");
        QCOMPARE(int(r.status), int(AtomicFile::Status::LinkLoop));
        QVERIFY(QFileInfo(path("loop1")).isSymLink());
    }

    void refusesAWriteProtectedFileAndANonRegularTarget()
    {
        writeFile(path("locked.csv"), "keep\r\n");
        QVERIFY(QFile::setPermissions(path("locked.csv"),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const AtomicFile::Result r = AtomicFile::replace(path("locked.csv"), "lost\r\n");
        QCOMPARE(int(r.status), int(AtomicFile::Status::ReadOnly));
        QCOMPARE(AtomicFile::problem(path("locked.csv"), r),
                 QStringLiteral("ファイル %1 を作成できません").arg(path("locked.csv")));
        QCOMPARE(readFile(path("locked.csv")), QByteArray("keep\r\n"));

        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.csv")).constData(), 0600), 0);
        QCOMPARE(int(AtomicFile::replace(path("pipe.csv"), "x").status),
                 int(AtomicFile::Status::NotRegular));
        QVERIFY(QFileInfo(path("pipe.csv")).isFile() == false);
        struct stat st {
        };
        QCOMPARE(::stat(QFile::encodeName(path("pipe.csv")).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }

    void keepsHardLinksByWritingInPlace()
    {
        writeFile(path("linked.csv"), "old content that is long\r\n");
        QCOMPARE(::link(QFile::encodeName(path("linked.csv")).constData(),
                        QFile::encodeName(path("other-name.csv")).constData()),
                 0);
        const ino_t inode = inodeOf(path("linked.csv"));
        const AtomicFile::Result r = AtomicFile::replace(path("linked.csv"), "short\r\n");
        QVERIFY(bool(r));
        QVERIFY(r.inPlace);
        QCOMPARE(inodeOf(path("linked.csv")), inode);
        QCOMPARE(readFile(path("other-name.csv")), QByteArray("short\r\n"));

        // A write in place that cannot complete says so; the space is reserved before a byte
        // changes, so the file keeps its content.
        {
            SizeLimit limit(64);
            const AtomicFile::Result big =
                AtomicFile::replace(path("linked.csv"), QByteArray(4096, 'y'));
            QVERIFY(!big);
            QCOMPARE(int(big.status), int(AtomicFile::Status::Failed));
        }
        QCOMPARE(readFile(path("other-name.csv")), QByteArray("short\r\n"));
    }

    void writesInPlaceWhereTheFolderIsClosed()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("closed"));
        const QString file = path("closed/mine.csv");
        writeFile(file, "before\r\n");
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(path("closed"), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner | QFile::ReadOther |
                                                          QFile::ExeOther));
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ExeOwner | QFile::ReadOther |
                                                        QFile::ExeOther));
        AtomicFile::Result r;
        AtomicFile::Result created;
        {
            UnprivilegedScope user;
            if (!user.isActive())
                QSKIP("cannot act as an unprivileged user here");
            r = AtomicFile::replace(file, "after, and longer than before\r\n");
            created = AtomicFile::replace(path("closed/new.csv"), "x");
        }
        QVERIFY(bool(r));
        QVERIFY(r.inPlace);
        QCOMPARE(readFile(file), QByteArray("after, and longer than before\r\n"));
        QVERIFY(!created);
        QVERIFY(!QFileInfo::exists(path("closed/new.csv")));
        QCOMPARE(QDir(path("closed")).entryList(QDir::Files), QStringList{"mine.csv"});
    }

    void profileReadsOnceAndSeesEveryChange()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("ini"));
        const QString file = path("ini/qxwatch.ini");
        writeFile(file, "[PORTS]\r\nCOM3=/dev/ttyUSB0\r\n[COM]\r\nPort=3\r\n");
        FolderWatch watch(path("ini"));
        QVERIFY(watch.isValid());
        int opens = 0;
        int renames = 0;

        // A port menu's worth of lookups, each through its own object: one read of the file.
        for (int port = 1; port <= 16; ++port) {
            const QString device =
                ProfileFile(file).readString("PORTS", QStringLiteral("COM%1").arg(port), "");
            QCOMPARE(device, port == 3 ? QString("/dev/ttyUSB0") : QString());
        }
        watch.count("qxwatch.ini", &opens, &renames);
        QCOMPARE(opens, 1);

        // A change of the same size a moment later is seen: the stamp has times and identity.
        writeFile(file, "[PORTS]\r\nCOM3=/dev/ttyUSB1\r\n[COM]\r\nPort=3\r\n");
        struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
        QCOMPARE(ProfileFile(file).readString("ports", "com3", ""), QString("/dev/ttyUSB1"));

        // All keys of one save in one replacement, one read of the old file.
        watch.count("qxwatch.ini", &opens, &renames);
        ProfileFile ini(file);
        QVERIFY(ini.writeStrings({{"WINDOW", "Top", "50"},
                                  {"WINDOW", "Left", "10"},
                                  {"COM", "Port", "4"},
                                  {"BITORDER", "LSB", "R"},
                                  {"QXMODE", "Mode", "0"},
                                  {"QXMODE", "CommentOn", "1"},
                                  {"QXMODE", "CommentEdit", "0"}}));
        watch.count("qxwatch.ini", &opens, &renames);
        QCOMPARE(renames, 1);
        QCOMPARE(opens, 1);
        QCOMPARE(readFile(file),
                 QByteArray("[PORTS]\r\nCOM3=/dev/ttyUSB1\r\n[COM]\r\nPort=4\r\n"
                            "[WINDOW]\r\nTop=50\r\nLeft=10\r\n"
                            "[BITORDER]\r\nLSB=R\r\n"
                            "[QXMODE]\r\nMode=0\r\nCommentOn=1\r\nCommentEdit=0\r\n"));
        QCOMPARE(ini.readInt("COM", "Port", 1), 4);
        QCOMPARE(ini.readString("QXMODE", "CommentOn", ""), QString("1"));
    }

    void aFailedSaveChangesNoKey()
    {
        const QString file = path("half.ini");
        const QByteArray before = "[WINDOW]\r\nTop=1\r\nLeft=2\r\n";
        writeFile(file, before);
        bool written = true;
        {
            SizeLimit limit(64);
            written = ProfileFile(file).writeStrings(
                {{"WINDOW", "Top", "99"}, {"NOTE", "Text", QString(200, QLatin1Char('x'))}});
        }
        QVERIFY(!written);
        QCOMPARE(readFile(file), before);
        QCOMPARE(ProfileFile(file).readString("WINDOW", "Top", ""), QString("1"));
    }
};

QTEST_GUILESS_MAIN(tst_FileAccess)
#include "tst_fileaccess.moc"
