#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/SjisText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class tst_ProfileFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("p%1.ini").arg(++m_count));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write test file");
        f.write(content);
        return path;
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int m_count = 0;

private slots:
    void readsValuesWithoutRegardToCase()
    {
        ProfileFile p(
            write("; comment\r\n[Window]\r\n TOP = 120 \r\nleft=\"7\"\r\n[COM]\r\nPort=3\r\n"));
        QCOMPARE(p.readString("WINDOW", "Top", "50"), QString("120"));
        QCOMPARE(p.readInt("window", "LEFT", 10), 7);
        QCOMPARE(p.readInt("COM", "Port", 1), 3);
        QCOMPARE(p.readString("COM", "Top", "x"), QString("x"));
        QCOMPARE(p.readString("NONE", "Port", "d"), QString("d"));
    }

    void missingFileAndBadIntegersGiveDefaults()
    {
        ProfileFile missing(m_dir.filePath("nothing.ini"));
        QCOMPARE(missing.readInt("WINDOW", "Top", 50), 50);
        ProfileFile p(write("[QXMODE]\nMode=abc\nCommentOn=1x\nCommentEdit=\n"));
        QCOMPARE(p.readInt("QXMODE", "Mode", 0), 0);
        QCOMPARE(p.readInt("QXMODE", "CommentOn", 0), 0);
        QCOMPARE(p.readInt("QXMODE", "CommentEdit", 5), 5);
    }

    void writeKeepsEveryOtherByte()
    {
        const QByteArray before = "; mine\r\n[WINDOW]\r\nTop=1\r\nExtra=keep\r\n\r\n[OTHER]\nA=b\n";
        const QString path = write(before);
        ProfileFile p(path);
        QVERIFY(p.writeString("window", "TOP", "99"));
        QCOMPARE(read(path),
                 QByteArray("; mine\r\n[WINDOW]\r\nTOP=99\r\nExtra=keep\r\n\r\n[OTHER]\nA=b\n"));
        QVERIFY(p.writeString("WINDOW", "Left", "10"));
        QCOMPARE(
            read(path),
            QByteArray(
                "; mine\r\n[WINDOW]\r\nTOP=99\r\nExtra=keep\r\nLeft=10\r\n\r\n[OTHER]\nA=b\n"));
        QVERIFY(p.writeString("QXMODE", "Mode", "1"));
        QVERIFY(read(path).endsWith("[OTHER]\nA=b\n[QXMODE]\r\nMode=1\r\n"));
    }

    void createsFileAndKeepsWriteOrder()
    {
        const QString path = m_dir.filePath("new.ini");
        ProfileFile p(path);
        QVERIFY(p.writeString("WINDOW", "Top", "50"));
        QVERIFY(p.writeString("WINDOW", "Left", "10"));
        QVERIFY(p.writeString("COM", "Port", "1"));
        QCOMPARE(read(path), QByteArray("[WINDOW]\r\nTop=50\r\nLeft=10\r\n[COM]\r\nPort=1\r\n"));
    }

    void lastLineWithoutEndGetsOne()
    {
        const QString path = write("[A]\r\nx=1");
        ProfileFile p(path);
        QVERIFY(p.writeString("A", "y", "2"));
        QCOMPARE(read(path), QByteArray("[A]\r\nx=1\r\ny=2\r\n"));
    }

    void shiftJisValuesRoundTrip()
    {
        const QString path = m_dir.filePath("sjis.ini");
        ProfileFile p(path);
        const QString text = QStringLiteral("表示ソ～");
        QVERIFY(p.writeString("NOTE", "Text", text));
        QCOMPARE(read(path), QByteArray("[NOTE]\r\nText=") + toSjis(text) + "\r\n");
        QCOMPARE(p.readString("NOTE", "Text", QString()), text);
    }

    void failedWriteLeavesOldFile()
    {
        const QString path = write("[A]\r\nx=1\r\n");
        ProfileFile p(path);
        // A file size limit makes the write fail half-way, after bytes went out.
        signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 16;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = p.writeString("A", "x", QString(200, QLatin1Char('y')));
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QVERIFY(!written);
        QCOMPARE(read(path), QByteArray("[A]\r\nx=1\r\n"));
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files).filter(QFileInfo(path).fileName()),
                 QStringList{QFileInfo(path).fileName()});
    }

    void strToIntFollowsTheConversionRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "017" << true << 17;
        QTest::newRow("leading blanks and sign") << "  -5" << true << -5;
        QTest::newRow("trailing blank") << "5 " << false << 0;
        QTest::newRow("word address") << "W05" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("too large") << "99999999999" << false << 0;
    }
    void strToIntFollowsTheConversionRule()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        if (ok) {
            QCOMPARE(StrToInt(text), value);
        } else {
            try {
                StrToInt(text);
                QFAIL("no conversion error");
            } catch (const EConvertError &e) {
                QCOMPARE(e.message(), QStringLiteral("'%1' は整数ではありません").arg(text));
            }
        }
    }

    void errorBoxAddsFullStopAfterLaterCharacters()
    {
        QCOMPARE(errorBoxText("abc"), QString("abc."));
        QCOMPARE(errorBoxText("done."), QString("done."));
        QCOMPARE(errorBoxText("ends with !"), QString("ends with !"));
        QCOMPARE(errorBoxText("ポートをオープンできませんでした"),
                 QString("ポートをオープンできませんでした."));
    }
};

QTEST_GUILESS_MAIN(tst_ProfileFile)
#include "tst_profilefile.moc"
