#include "comments/CommentFile.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using Fields = QList<QByteArray>;
using Rows = QList<QStringList>;

class tst_CommentFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void splitsByTheCommaTextRule_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Fields>("fields");

        QTest::newRow("plain fields") << QByteArray(",BI,5,abc") << Fields{"", "BI", "5", "abc"};
        QTest::newRow("blank splits an unquoted comment")
            << QByteArray(",BI,5,ab cd") << Fields{"", "BI", "5", "ab", "cd"};
        QTest::newRow("blanks and tabs around separators")
            << QByteArray(",  BI ,\t5 ,  x  ") << Fields{"", "BI", "5", "x"};
        QTest::newRow("quoted fields keep their comma and blank")
            << QByteArray(",\"BI\",\"5\",\"a, b\"") << Fields{"", "BI", "5", "a, b"};
        QTest::newRow("doubled quotes stand for one")
            << QByteArray(",BI,1,\"say \"\"hi\"\"\"") << Fields{"", "BI", "1", "say \"hi\""};
        QTest::newRow("missing closing quote runs to the end")
            << QByteArray(",BI,1,\"ab, c") << Fields{"", "BI", "1", "ab, c"};
        QTest::newRow("empty quoted field")
            << QByteArray(",BI,\"\",x") << Fields{"", "BI", "", "x"};
        QTest::newRow("text after a closing quote is a new field")
            << QByteArray(",\"ab\"cd") << Fields{"", "ab", "cd"};
        QTest::newRow("quote inside an unquoted field is ordinary")
            << QByteArray(",a\"b,c") << Fields{"", "a\"b", "c"};
        QTest::newRow("comma after comma gives an empty field")
            << QByteArray(",BI,,x") << Fields{"", "BI", "", "x"};
        QTest::newRow("trailing comma gives no field")
            << QByteArray(",BI,5,") << Fields{"", "BI", "5"};
        QTest::newRow("only blanks") << QByteArray(" \t ") << Fields{};
        QTest::newRow("NUL ends the text") << QByteArray(",a\0,b", 5) << Fields{"", "a"};
        QTest::newRow("second byte equal to a comma stays in the field")
            << QByteArray(",\x82,x,y") << Fields{"", "\x82,x", "y"};
        QTest::newRow("second byte equal to a quote does not close the field")
            << QByteArray(",\"\x82\"x\",y") << Fields{"", "\x82\"x", "y"};
        QTest::newRow("second byte equal to a quote does not open a field")
            << QByteArray(",\x82\"ab") << Fields{"", "\x82\"ab"};
        QTest::newRow("lead byte at the very end") << QByteArray(",ab\x82") << Fields{"", "ab\x82"};
        const QByteArray kanji = toSjis(QStringLiteral("表示ソフト"));
        QTest::newRow("kanji with 0x5C second bytes")
            << (",BI,3," + kanji) << Fields{"", "BI", "3", kanji};
    }
    void splitsByTheCommaTextRule()
    {
        QFETCH(QByteArray, text);
        QFETCH(Fields, fields);
        QCOMPARE(CommentFile::splitCommaText(text), fields);
    }

    void splitsTheFileIntoRows_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Rows>("rows");

        const Rows two{{"", "BI", "1", "a"}, {"", "BO", "2", "b"}};
        QTest::newRow("CR LF") << QByteArray("BI,1,a\r\nBO,2,b\r\n") << two;
        QTest::newRow("CR alone") << QByteArray("BI,1,a\rBO,2,b\r") << two;
        QTest::newRow("LF alone") << QByteArray("BI,1,a\nBO,2,b\n") << two;
        QTest::newRow("mixed, last line unterminated") << QByteArray("BI,1,a\nBO,2,b") << two;
        QTest::newRow("blank lines and leading blanks passed over")
            << QByteArray("\r\n  \r\n\t BI,1,a\r\n\r\n\r\n  BO,2,b\r\n \r\n") << two;
        QTest::newRow("Ctrl-Z ends the file")
            << QByteArray("BI,1,a\r\nBO,2,b\x1a\r\nWI,3,c\r\n") << two;
        QTest::newRow("empty file") << QByteArray() << Rows{};
        QTest::newRow("blanks only") << QByteArray(" \r\n\t\n") << Rows{};
        QTest::newRow("Japanese comment") << toSjis(QStringLiteral("WO,17,ポンプ運転中\r\n"))
                                          << Rows{{"", "WO", "17", QStringLiteral("ポンプ運転中")}};
    }
    void splitsTheFileIntoRows()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Rows, rows);
        QCOMPARE(CommentFile::parse(bytes), rows);
    }

    void saveThenLoadGivesTheSameRows_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<bool>("writtenBare");

        QTest::newRow("plain") << "BI"
                               << "5"
                               << "lamp" << true;
        QTest::newRow("Japanese") << "BO"
                                  << "7" << QStringLiteral("温度センサー異常") << true;
        QTest::newRow("kanji with 0x5C second bytes")
            << "WI"
            << "16" << QStringLiteral("表示ソフト") << true;
        QTest::newRow("quote inside") << "BI"
                                      << "1"
                                      << "a\"b" << true;
        QTest::newRow("empty comment") << "BI"
                                       << "2"
                                       << "" << true;
        QTest::newRow("blank inside") << "BI"
                                      << "3"
                                      << "two words" << false;
        QTest::newRow("Japanese with ideographic and plain blank")
            << "WO"
            << "4" << QStringLiteral("第１　ポンプ 停止") << false;
        QTest::newRow("comma inside") << "BI"
                                      << "4"
                                      << "a,b" << false;
        QTest::newRow("leading quote") << "BI"
                                       << "5"
                                       << "\"quoted\" text" << false;
        QTest::newRow("one blank, as New writes it") << "BO"
                                                     << "0"
                                                     << " " << false;
        QTest::newRow("leading and trailing blanks") << "BI"
                                                     << "6"
                                                     << "  x  " << false;
        QTest::newRow("tab inside") << "BI"
                                    << "7"
                                    << "a\tb" << false;
        QTest::newRow("blank type and number") << " BI"
                                               << " 8"
                                               << "c" << false;
        QTest::newRow("all empty") << ""
                                   << ""
                                   << "" << true;
    }
    void saveThenLoadGivesTheSameRows()
    {
        QFETCH(QString, type);
        QFETCH(QString, number);
        QFETCH(QString, comment);
        QFETCH(bool, writtenBare);

        const QList<CommentRow> rows{{type, number, comment}, {"BI", "9", "next"}};
        const QByteArray bytes = CommentFile::format(rows);
        const QByteArray bare = toSjis(type + ',' + number + ',' + comment) + "\r\nBI,9,next\r\n";
        QCOMPARE(bytes == bare, writtenBare);

        const QString path = m_dir.filePath(QStringLiteral("round.csv"));
        CommentFile::write(path, bytes);
        const Rows back = CommentFile::parse(CommentFile::read(path));
        QCOMPARE(back.size(), 2);
        const QStringList first = back.at(0);
        QCOMPARE(first.value(1), type);
        QCOMPARE(first.value(2), number);
        QCOMPARE(first.value(3), comment);
        QVERIFY(first.size() <= 4);
        QCOMPARE(back.at(1), (QStringList{"", "BI", "9", "next"}));
    }

    void fileWithoutSpecialCharactersIsWrittenByteForByte()
    {
        const QByteArray old = toSjis(QStringLiteral("BI,0,ポンプ\r\nBO,5,x\"y\r\nWI,16,\r\nWO,"
                                                     "1023,終端\r\n"));
        QList<CommentRow> rows;
        for (const QStringList &r : CommentFile::parse(old))
            rows.append({r.value(1), r.value(2), r.value(3)});
        QCOMPARE(CommentFile::format(rows), old);
        QCOMPARE(CommentFile::format({}), QByteArray());
    }

    void compilesRowsIntoTables()
    {
        CommentTables t;
        CommentFile::compile({{"BI", "0", "bi0"},
                              {"BI", "255", "bi255"},
                              {"BI", "256", "too far"},
                              {"BO", "300", "too far"},
                              {"BO", "-1", "negative"},
                              {"bo", "3", "lower case"},
                              {"WI", "1023", "wi1023"},
                              {"WI", "1024", "too far"},
                              {"WO", "80", "first"},
                              {"BI", "7", "early"},
                              {"XX", "7", "other"},
                              {"BI", "7", "late"},
                              {"WO", " 81", "leading blank"}},
                             t);
        QCOMPARE(t.CommentBI[0], QString("bi0"));
        QCOMPARE(t.CommentBI[255], QString("bi255"));
        QCOMPARE(t.CommentBI[7], QString("late"));
        QCOMPARE(t.CommentBO[3], QString());
        QCOMPARE(t.CommentWI[1023], QString("wi1023"));
        QCOMPARE(t.CommentWO[80], QString("first"));
        QCOMPARE(t.CommentWO[81], QString("leading blank"));
        int filled = 0;
        for (const auto *table : {&t.CommentBI, &t.CommentBO})
            filled += int(std::count_if(table->begin(), table->end(),
                                        [](const QString &s) { return !s.isEmpty(); }));
        for (const auto *table : {&t.CommentWI, &t.CommentWO})
            filled += int(std::count_if(table->begin(), table->end(),
                                        [](const QString &s) { return !s.isEmpty(); }));
        QCOMPARE(filled, 6);
    }

    void badNumberLeavesTablesAsTheyWere_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("hexadecimal") << "0x10";
        QTest::newRow("beyond 32 bits") << "4294967296";
    }
    void badNumberLeavesTablesAsTheyWere()
    {
        QFETCH(QString, number);
        CommentTables t;
        CommentFile::compile({{"BI", "1", "kept"}}, t);
        try {
            CommentFile::compile({{"BI", "2", "new"}, {"BO", number, "bad"}, {"BI", "3", "x"}}, t);
            QFAIL("no conversion error");
        } catch (const EConvertError &e) {
            QCOMPARE(e.message(), QStringLiteral("'%1' は整数ではありません").arg(number));
        }
        QCOMPARE(t.CommentBI[1], QString("kept"));
        QCOMPARE(t.CommentBI[2], QString());
        QCOMPARE(t.CommentBI[3], QString());
    }

    void missingFileIsReported()
    {
        try {
            CommentFile::read(m_dir.filePath("none.csv"));
            QFAIL("no error");
        } catch (const EFOpenError &e) {
            QCOMPARE(e.message(), QStringLiteral("ファイルが見つかりません"));
        }
    }

    void failedWriteKeepsTheOldFile()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("keep"));
        const QString folder = m_dir.filePath(QStringLiteral("keep"));
        const QString path = folder + QStringLiteral("/keep.csv");
        CommentFile::write(path, "BI,1,old\r\n");

        // A file size limit makes the write fail half-way, after bytes went out.
        signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool failed = false;
        QString message;
        try {
            CommentFile::write(path, QByteArray(4096, 'x'));
        } catch (const EFCreateError &e) {
            failed = true;
            message = e.message();
        }
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);

        QVERIFY(failed);
        QCOMPARE(message, QStringLiteral("ファイル %1 を作成できません").arg(path));
        QCOMPARE(readAll(path), QByteArray("BI,1,old\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"keep.csv"});
    }

    void writeIntoMissingFolderIsReported()
    {
        const QString path = m_dir.filePath(QStringLiteral("no/such/folder/x.csv"));
        QVERIFY_THROWS_EXCEPTION(EFCreateError, CommentFile::write(path, "BI,1,x\r\n"));
    }
};

QTEST_GUILESS_MAIN(tst_CommentFile)
#include "tst_commentfile.moc"
