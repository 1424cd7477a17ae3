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

    // The code page's converter reads the byte 0x1C as U+007F and writes it back as 0x1C, a
    // blank: such a field is quoted so that it reads back whole (found by fuzz_commentgrid).
    void controlByteReadAsDeleteSurvivesASave()
    {
        const Rows rows = CommentFile::parse("\"BI-1e\x1C"
                                             "cp932\r\n");
        QCOMPARE(rows.value(0).size(), 2);
        const QByteArray saved = CommentFile::format({{rows.value(0).value(1), "", ""}});
        QCOMPARE(CommentFile::parse(saved).value(0).value(1), rows.value(0).value(1));
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

    // Characters input methods produce that code page 932 holds only as a look-alike.
    void lookAlikesAreWrittenInTheirCodePageForm_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("wave dash, minus, yen") << QStringLiteral("A\u301CB\u2212C\u00A5D")
                                               << QByteArray::fromHex("4181604281 7c435c44");
        QTest::newRow("double vertical line, em dash")
            << QStringLiteral("\u2016\u2014") << QByteArray::fromHex("8161815c");
        QTest::newRow("cent, pound, not, broken bar") << QStringLiteral("\u00A2\u00A3\u00AC\u00A6")
                                                      << QByteArray::fromHex("8191819281cafa55");
        QTest::newRow("overline") << QStringLiteral("\u203E") << QByteArray("~");
        QTest::newRow("already in code page form")
            << QStringLiteral("\uFF5E\uFF0D") << QByteArray::fromHex("8160817c");
    }
    void lookAlikesAreWrittenInTheirCodePageForm()
    {
        QFETCH(QString, comment);
        QFETCH(QByteArray, written);
        const QByteArray bytes = CommentFile::format({{"BI", "1", comment}});
        QCOMPARE(bytes.toHex(' '), ("BI,1," + written + "\r\n").toHex(' '));
        // What is read back is the code page form, never a substitute.
        const QString back = CommentFile::parse(bytes).value(0).value(3);
        QVERIFY(!back.contains(QChar::ReplacementCharacter));
        QCOMPARE(back.size(), comment.size());
    }

    void characterShiftJisCannotCarryIsRefused_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("emoji in a comment")
            << 3 << QStringLiteral("ok\U0001F600")
            << QStringLiteral("2 行目のコメントの 3 文字目 '\U0001F600' (U+1F600) は Shift-JIS "
                              "で保存できません");
        QTest::newRow("hangul in a number")
            << 2 << QStringLiteral("\uD55C")
            << QStringLiteral(
                   "2 行目の番号の 1 文字目 '\uD55C' (U+D55C) は Shift-JIS で保存できません");
        QTest::newRow("en dash in a type")
            << 1 << QStringLiteral("B\u2013")
            << QStringLiteral(
                   "2 行目のTypeの 2 文字目 '\u2013' (U+2013) は Shift-JIS で保存できません");
    }
    void characterShiftJisCannotCarryIsRefused()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QList<CommentRow> rows{{"BI", "1", "fine"}, {"BO", "2", "x"}};
        (column == 1 ? rows[1].type : column == 2 ? rows[1].number : rows[1].comment) = text;
        try {
            CommentFile::format(rows);
            QFAIL("no error");
        } catch (const EFCreateError &e) {
            QCOMPARE(e.message(), message);
        }
    }

    // What the reader tells about bytes that a save would not give back.
    void readerFindsBytesASaveWouldChange_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("changedRow");
        QTest::addColumn<int>("afterEnd");
        QTest::newRow("clean file") << QByteArray("BI,1,a\r\nBO,2,\x83\x41\r\n") << -1 << 0;
        QTest::newRow("lead byte before a blank")
            << QByteArray("BI,1,a\r\nBO,2,x\x81 y\r\n") << 1 << 0;
        QTest::newRow("unmapped double byte") << QByteArray("BI,1,\x85\x40\r\n") << 0 << 0;
        QTest::newRow("unmapped double byte that encodes back the same")
            << QByteArray("BI,1,a\r\nBI,2,\xFC\xFC\r\n") << 1 << 0;
        QTest::newRow("lone lead byte at a line end")
            << QByteArray("BI,1,a\r\nBI,2,b\r\nBI,3,c\x81\r\n") << 2 << 0;
        QTest::newRow("NEC selected IBM extension, written as IBM")
            << QByteArray("BI,1,\xED\x40\r\n") << 0 << 0;
        QTest::newRow("text after Ctrl-Z") << QByteArray("BI,1,a\r\n\x1A BI,2,b\r\n") << -1 << 9;
        QTest::newRow("a lone Ctrl-Z at the end") << QByteArray("BI,1,a\r\n\x1A") << -1 << 0;
    }
    void readerFindsBytesASaveWouldChange()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, changedRow);
        QFETCH(int, afterEnd);
        CommentFileContent content;
        QVERIFY(CommentFile::parseContent(bytes, content));
        QCOMPARE(content.changedRow, qsizetype(changedRow));
        QCOMPARE(content.bytesAfterEnd, qsizetype(afterEnd));
        // Unreadable bytes show as U+FFFD, never as a Ctrl-Z that would end the saved file.
        QVERIFY(!content.text.contains(QChar(0x1A)));
        QVERIFY(!CommentFile::format({{"BI", "1", content.row(0).toString()}}).contains('\x1A'));
    }

    void parseCanBeStopped()
    {
        QByteArray bytes;
        for (int i = 0; i < 50000; ++i)
            bytes += "BI," + QByteArray::number(i % 256) + ",x\r\n";
        CommentFileContent content;
        content.columns = 7;
        qsizetype seen = 0;
        QVERIFY(!CommentFile::parseContent(bytes, content, [&](qsizetype at) {
            seen = at;
            return false;
        }));
        QVERIFY(seen > 0 && seen < bytes.size());
        QCOMPARE(content.columns, 7);
        QVERIFY(content.rows.isEmpty());
        QVERIFY(CommentFile::parseContent(bytes, content, [](qsizetype) { return true; }));
        QCOMPARE(content.rows.size(), 50000);
        QCOMPARE(content.columns, 4);
    }
};

QTEST_GUILESS_MAIN(tst_CommentFile)
#include "tst_commentfile.moc"
