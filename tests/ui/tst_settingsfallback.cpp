#include "platform/Exceptions.h"
#include "tests/support/UnprivilegedScope.h"
#include "ui/TForm1.h"

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{

constexpr QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kReadOnlyFolder =
    kReadOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
constexpr QFile::Permissions kOpenFolder =
    kReadOnlyFolder | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Standard error of this process, caught in a file while the capture lives.
class StderrCapture
{
public:
    explicit StderrCapture(const QString &path) : m_path(path)
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { stop(); }
    QByteArray stop()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
        return readFile(m_path);
    }

private:
    QString m_path;
    int m_saved = -1;
};

const QByteArray kBeside = "[WINDOW]\r\nTop=123\r\nLeft=45\r\n[COM]\r\nPort=7\r\n";

} // namespace

class tst_SettingsFallback : public QObject
{
    Q_OBJECT

    // prog/qxwatch.ini read-only in a read-only folder (a stick, or a shared install), and a
    // configuration folder standing for ~/.config/qxwatch.
    struct Place {
        QTemporaryDir dir;
        Place()
        {
            QFile::setPermissions(dir.path(), kReadOnlyFolder | QFile::WriteOwner);
            QDir(dir.path()).mkpath("prog");
            QDir(dir.path()).mkpath("config/qxwatch");
            QFile f(beside());
            if (!f.open(QIODevice::WriteOnly) || f.write(kBeside) != kBeside.size())
                qFatal("cannot write the settings file");
            f.close();
            QFile::setPermissions(beside(), kReadOnly);
            QFile::setPermissions(dir.filePath("prog"), kReadOnlyFolder);
            QFile::setPermissions(dir.filePath("config/qxwatch"), kOpenFolder);
        }
        ~Place()
        {
            QFile::setPermissions(dir.filePath("prog"), kOpenFolder);
            QFile::setPermissions(dir.filePath("config/qxwatch"), kOpenFolder);
        }
        QString beside() const { return dir.filePath("prog/qxwatch.ini"); }
        QString userFile() const { return dir.filePath("config/qxwatch/qxwatch.ini"); }
        TForm1::Options options() const
        {
            TForm1::Options o;
            o.settingsPath = beside();
            o.fallbackSettingsPath = userFile();
            return o;
        }
    };

private slots:
    void readOnlyFileIsReadAndTheWriteGoesToTheUsersFile_data()
    {
        QTest::addColumn<bool>("throughExitItem");
        QTest::newRow("File 終了(&X): notice in the status bar and on standard error") << true;
        QTest::newRow("window closed: notice on standard error") << false;
    }
    void readOnlyFileIsReadAndTheWriteGoesToTheUsersFile()
    {
        QFETCH(bool, throughExitItem);
        Place place;
        auto form = std::make_unique<TForm1>(place.options());
        QCOMPARE(form->pos(), QPoint(45, 123));
        QCOMPARE(form->windowTitle(), QStringLiteral("QXモニター[COM7]"));
        form->show();
        const QString notice = QStringLiteral("%1 に書き込めないため、設定を %2 に書き込みました")
                                   .arg(place.beside(), place.userFile());

        StderrCapture err(place.dir.filePath("stderr.txt"));
        {
            UnprivilegedScope user;
            QVERIFY(user.isActive());
            if (throughExitItem) {
                form->Exit1Click();
                QCOMPARE(form->findChild<QStatusBar *>("StatusBar1")->currentMessage(), notice);
            } else {
                form->close();
            }
            form.reset(); // writes again
        }
        const QByteArray printed = err.stop();

        QCOMPARE(QString::fromLocal8Bit(printed), "qxwatch: " + notice + '\n');
        QCOMPARE(readFile(place.beside()), kBeside);
        QCOMPARE(readFile(place.userFile()),
                 QByteArray("[WINDOW]\r\nTop=123\r\nLeft=45\r\n[COM]\r\nPort=7\r\n[BITORDER]\r\n"
                            "LSB=R\r\n[QXMODE]\r\nMode=0\r\nCommentOn=0\r\nCommentEdit=0\r\n"));
    }

    void noFileToTakeTheSettingsKeepsTheWindowAndNamesTheSettingsFile()
    {
        Place place;
        QFile::setPermissions(place.dir.filePath("config/qxwatch"), kReadOnlyFolder);
        TForm1 form(place.options());
        form.show();
        StderrCapture err(place.dir.filePath("stderr.txt"));
        UnprivilegedScope user;
        QVERIFY(user.isActive());
        try {
            form.Exit1Click();
            QFAIL("no error");
        } catch (const EFCreateError &e) {
            QCOMPARE(e.message(), QStringLiteral("%1 に書き込めません").arg(place.beside()));
        }
        QVERIFY(form.isVisible());
        QCOMPARE(err.stop(), QByteArray());
        QVERIFY(!QFile::exists(place.userFile()));
    }
};

QTEST_MAIN(tst_SettingsFallback)
#include "tst_settingsfallback.moc"
