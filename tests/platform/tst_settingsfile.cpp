#include "platform/SettingsFile.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace
{

constexpr QFile::Permissions kReadOnlyFile = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kReadOnlyFolder =
    kReadOnlyFile | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
constexpr QFile::Permissions kOpenFolder =
    kReadOnlyFolder | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
constexpr QFile::Permissions kOpenFile =
    kReadOnlyFile | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;

const QByteArray kBeside = "[WINDOW]\r\nTop=7\r\n[PORTS]\r\nCOM1=/dev/ttyUSB0\r\n";

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

// A program folder "prog" (program file prog/qxwatch, which need not exist) and a
// configuration folder "config" standing for XDG_CONFIG_HOME, in a folder every user may
// enter. The environment comes back when the place goes.
struct Place {
    QTemporaryDir dir;
    QByteArray oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    QByteArray oldHome = qgetenv("HOME");

    Place()
    {
        QFile::setPermissions(dir.path(), kReadOnlyFolder | QFile::WriteOwner);
        QDir(dir.path()).mkdir("prog");
        QDir(dir.path()).mkdir("config");
        QFile::setPermissions(folder(), kOpenFolder);
        QFile::setPermissions(dir.filePath("config"), kOpenFolder);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
    }
    ~Place()
    {
        // Read-only folders would keep their files at clean-up.
        QFile::setPermissions(folder(), kOpenFolder);
        QFile::setPermissions(dir.filePath("config"), kOpenFolder);
        QFile::setPermissions(dir.filePath("config/qxwatch"), kOpenFolder);
        restore("XDG_CONFIG_HOME", oldConfigHome);
        restore("HOME", oldHome);
    }
    static void restore(const char *name, const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QString folder() const { return dir.filePath("prog"); }
    QString program() const { return dir.filePath("prog/qxwatch"); }
    QString beside() const { return dir.filePath("prog/qxwatch.ini"); }
    QString userFile() const { return dir.filePath("config/qxwatch/qxwatch.ini"); }

    // A name for what a test got: "beside", "user", "none" or the path itself.
    QString nameOf(const QString &path) const
    {
        if (path.isEmpty())
            return QStringLiteral("none");
        if (path == beside())
            return QStringLiteral("beside");
        if (path == userFile())
            return QStringLiteral("user");
        return path;
    }
};

const QList<SettingsFile::Entry> kKeys = {
    {"WINDOW", "Top", "120"},
    {"WINDOW", "Left", "45"},
    {"COM", "Port", "3"},
};
const QByteArray kKeysAlone = "[WINDOW]\r\nTop=120\r\nLeft=45\r\n[COM]\r\nPort=3\r\n";

} // namespace

class tst_SettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void choosesTheFileForTheProgram_data()
    {
        QTest::addColumn<bool>("besideExists");
        QTest::addColumn<bool>("besideWritable");
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<bool>("installedThere");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("fallback");

        QTest::newRow("writable file beside the program")
            << true << true << true << false << "beside"
            << "user";
        QTest::newRow("read-only file beside, read-only folder (a stick, /usr/bin)")
            << true << false << false << false << "beside"
            << "user";
        QTest::newRow("read-only file beside, writable folder")
            << true << false << true << false << "beside"
            << "user";
        QTest::newRow("no file beside, writable folder (the build tree)")
            << false << false << true << false << "beside"
            << "user";
        QTest::newRow("no file beside, read-only folder")
            << false << false << false << false << "user"
            << "none";
        QTest::newRow("no file beside, installed folder writable as for root")
            << false << false << true << true << "user"
            << "none";
        QTest::newRow("file beside an installed program still wins")
            << true << true << true << true << "beside"
            << "user";
    }
    void choosesTheFileForTheProgram()
    {
        QFETCH(bool, besideExists);
        QFETCH(bool, besideWritable);
        QFETCH(bool, folderWritable);
        QFETCH(bool, installedThere);
        Place place;
        if (besideExists) {
            writeFile(place.beside(), kBeside);
            QFile::setPermissions(place.beside(), besideWritable ? kOpenFile : kReadOnlyFile);
        }
        QFile::setPermissions(place.folder(), folderWritable ? kOpenFolder : kReadOnlyFolder);

        UnprivilegedScope user;
        QVERIFY(user.isActive());
        const SettingsFile file = SettingsFile::forProgram(
            place.program(), installedThere ? place.folder() + "/" : QString());
        QTEST(place.nameOf(file.path()), "path");
        QTEST(place.nameOf(file.fallbackPath()), "fallback");
    }

    void userFileFollowsTheConfigurationFolder_data()
    {
        QTest::addColumn<bool>("configHomeSet");
        QTest::addColumn<QString>("expected"); // below the temporary folder
        QTest::newRow("XDG_CONFIG_HOME set") << true << "config/qxwatch/qxwatch.ini";
        QTest::newRow("XDG_CONFIG_HOME unset: ~/.config")
            << false << "home/.config/qxwatch/qxwatch.ini";
    }
    void userFileFollowsTheConfigurationFolder()
    {
        QFETCH(bool, configHomeSet);
        QFETCH(QString, expected);
        Place place;
        QDir(place.dir.path()).mkdir("home");
        qputenv("HOME", QFile::encodeName(place.dir.filePath("home")));
        if (!configHomeSet)
            qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(SettingsFile::userFile(), place.dir.filePath(expected));
    }

    void writeFallsBackOnlyWhenTheFileCannotTakeIt_data()
    {
        QTest::addColumn<bool>("besideWritable");
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<bool>("withFallback");
        QTest::addColumn<bool>("configWritable");
        QTest::addColumn<QString>("written");

        QTest::newRow("writable file: written in place")
            << true << true << true << true << "beside";
        QTest::newRow("read-only file in read-only folder: to the user's file")
            << false << false << true << true << "user";
        QTest::newRow("read-only file in writable folder: to the user's file, not replaced")
            << false << true << true << true << "user";
        QTest::newRow("read-only file, no fallback: refused")
            << false << false << false << true << "none";
        QTest::newRow("read-only file, configuration folder read-only too: refused")
            << false << false << true << false << "none";
    }
    void writeFallsBackOnlyWhenTheFileCannotTakeIt()
    {
        QFETCH(bool, besideWritable);
        QFETCH(bool, folderWritable);
        QFETCH(bool, withFallback);
        QFETCH(bool, configWritable);
        QFETCH(QString, written);
        Place place;
        writeFile(place.beside(), kBeside);
        QFile::setPermissions(place.beside(), besideWritable ? kOpenFile : kReadOnlyFile);
        QFile::setPermissions(place.folder(), folderWritable ? kOpenFolder : kReadOnlyFolder);
        QFile::setPermissions(place.dir.filePath("config"),
                              configWritable ? kOpenFolder : kReadOnlyFolder);

        QString got;
        {
            UnprivilegedScope user;
            QVERIFY(user.isActive());
            got = SettingsFile(place.beside(), withFallback ? place.userFile() : QString())
                      .write(kKeys);
        }
        QCOMPARE(place.nameOf(got), written);
        if (written == "beside") {
            QCOMPARE(readFile(place.beside()),
                     QByteArray("[WINDOW]\r\nTop=120\r\nLeft=45\r\n[PORTS]\r\n"
                                "COM1=/dev/ttyUSB0\r\n[COM]\r\nPort=3\r\n"));
            QVERIFY(!QFile::exists(place.userFile()));
        } else {
            QCOMPARE(readFile(place.beside()), kBeside);
            QCOMPARE(QFile::permissions(place.beside()) & kOpenFile, kReadOnlyFile);
            QCOMPARE(readFile(place.userFile()), written == "user" ? kKeysAlone : QByteArray());
        }
    }

    void fallbackKeepsTheUserFilesOtherLines()
    {
        Place place;
        writeFile(place.beside(), kBeside);
        QFile::setPermissions(place.beside(), kReadOnlyFile);
        QDir(place.dir.filePath("config")).mkdir("qxwatch");
        QFile::setPermissions(place.dir.filePath("config/qxwatch"), kOpenFolder);
        writeFile(place.userFile(), "[PORTS]\r\nCOM2=/dev/ttyACM0\r\n[WINDOW]\r\nTop=1\r\n");
        QFile::setPermissions(place.userFile(), kOpenFile);

        QString got;
        {
            UnprivilegedScope user;
            got = SettingsFile(place.beside(), place.userFile()).write(kKeys);
        }
        QCOMPARE(got, place.userFile());
        QCOMPARE(readFile(place.userFile()),
                 QByteArray("[PORTS]\r\nCOM2=/dev/ttyACM0\r\n[WINDOW]\r\nTop=120\r\nLeft=45\r\n"
                            "[COM]\r\nPort=3\r\n"));
    }

    void installedProgramMakesItsConfigurationFolder()
    {
        Place place;
        const SettingsFile file = SettingsFile::forProgram(place.program(), place.folder());
        QCOMPARE(file.path(), place.userFile());
        QVERIFY(!QFile::exists(place.dir.filePath("config/qxwatch"))); // nothing made at start
        QCOMPARE(file.write(kKeys), place.userFile());
        QCOMPARE(readFile(place.userFile()), kKeysAlone);
        QVERIFY(!QFile::exists(place.beside()));
    }
};

QTEST_GUILESS_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
