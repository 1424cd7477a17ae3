#include "comments/CommentFile.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

// The comment file as the File menu reads and writes it, where the name is not a plain file:
// a FIFO, a device or a folder is refused at once with a message naming it; a save goes through
// a chain of links to the real file, and refuses a dangling link or a write-protected file.
class tst_CommentFileAccess : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    static QString openError(const QString &file)
    {
        try {
            CommentFile::read(file);
        } catch (const EFOpenError &e) {
            return e.message();
        }
        return QStringLiteral("<read>");
    }
    static QString createError(const QString &file, const QByteArray &bytes)
    {
        try {
            CommentFile::write(file, bytes);
        } catch (const EFCreateError &e) {
            return e.message();
        }
        return QStringLiteral("<written>");
    }
    static QByteArray contentOf(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void refusesWhatIsNoRegularFile()
    {
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.csv")).constData(), 0600), 0);
        QVERIFY(QDir(m_dir.path()).mkdir("folder.csv"));
        // Reading the FIFO or /dev/zero the old way never ended; the alarm ends the test then.
        ::alarm(20);
        const QString fifo = openError(path("pipe.csv"));
        const QString device = openError("/dev/zero");
        const QString folder = openError(path("folder.csv"));
        ::alarm(0);
        QCOMPARE(fifo, QStringLiteral("ファイル %1 は通常のファイルではないため開けません（FIFO）")
                           .arg(path("pipe.csv")));
        QCOMPARE(device,
                 QStringLiteral(
                     "ファイル /dev/zero は通常のファイルではないため開けません（デバイス）"));
        QCOMPARE(folder,
                 QStringLiteral("ファイル %1 は通常のファイルではないため開けません（フォルダ）")
                     .arg(path("folder.csv")));
        QCOMPARE(openError(path("none.csv")), QStringLiteral("ファイルが見つかりません"));
    }

    void savesThroughLinksAndRespectsProtection()
    {
        const QByteArray rows = "BI,0,start\r\n";
        QVERIFY(QDir(m_dir.path()).mkdir("real"));
        QFile seed(path("real/list.csv"));
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("BI,0,old\r\n");
        seed.close();
        QVERIFY(QFile::link("real/list.csv", path("middle.csv")));
        QVERIFY(QFile::link(path("middle.csv"), path("top.csv")));
        QCOMPARE(createError(path("top.csv"), rows), QStringLiteral("<written>"));
        QCOMPARE(contentOf(path("real/list.csv")), rows);
        QVERIFY(QFileInfo(path("middle.csv")).isSymLink());
        QCOMPARE(CommentFile::read(path("top.csv")), rows);

        QVERIFY(QFile::link(path("nowhere.csv"), path("dangling.csv")));
        QVERIFY(createError(path("dangling.csv"), rows)
                    .startsWith(QStringLiteral("ファイル %1 を作成できません（リンク先")
                                    .arg(path("dangling.csv"))));
        QVERIFY(!QFileInfo::exists(path("nowhere.csv")));

        QVERIFY(QFile::setPermissions(path("real/list.csv"), QFile::ReadOwner | QFile::ReadOther));
        QCOMPARE(createError(path("top.csv"), "BI,0,lost\r\n"),
                 QStringLiteral("ファイル %1 を作成できません").arg(path("top.csv")));
        QCOMPARE(contentOf(path("real/list.csv")), rows);
    }
};

QTEST_GUILESS_MAIN(tst_CommentFileAccess)
#include "tst_commentfileaccess.moc"
