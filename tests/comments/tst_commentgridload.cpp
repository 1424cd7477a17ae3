#include "comments/CommentModel.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"
#include "tests/comments/CommentGridFixture.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <atomic>
#include <sys/resource.h>

// Loading a comment file into the grid: what a good, bad, lossy, huge or cancelled load leaves.
class tst_CommentGridLoad : public CommentGridTestBase
{
    Q_OBJECT

private slots:
    void openLoadsRowsTablesAndMenuState_data()
    {
        QTest::addColumn<QString>("io1");
        QTest::addColumn<int>("refreshes");
        QTest::newRow("no display line yet") << "--" << 0;
        QTest::newRow("line 1 shows IN") << "IN" << 1;
    }
    void openLoadsRowsTablesAndMenuState()
    {
        QFETCH(QString, io1);
        QFETCH(int, refreshes);
        GridFixture f;
        f.lines.setKind(0, io1);
        f.nextFileName =
            file(toSjis(QStringLiteral("BI,5,ポンプ 運転\r\n\r\nWO,80,\"弁, 開\"\r\nbo,3,x\r\n")));
        QFileDialog *seen = nullptr;
        f.grid->setFileNamePrompt([&](QFileDialog &d) {
            seen = &d;
            return f.nextFileName;
        });

        f.action("Open1")->trigger();

        QVERIFY(seen);
        QCOMPARE(seen->objectName(), QString("OpenDialog1"));
        QCOMPARE(seen->defaultSuffix(), QString("cmt"));
        QCOMPARE(seen->nameFilters(), (QStringList{"CSVファイル (*.csv)", "すべてのファイル (*)"}));
        QCOMPARE(f.rows(), (QStringList{QStringLiteral("BI|5|ポンプ"),
                                        QStringLiteral("WO|80|弁, 開"), "bo|3|x"}));
        // The blank split the first comment: its second word stands in a fifth column.
        QCOMPARE(f.grid->colCount(), 5);
        QCOMPARE(f.grid->cell(4, 1), QStringLiteral("運転"));
        QCOMPARE(f.grid->cell(4, 2), QString());
        QCOMPARE(f.tables.CommentBI[5], QStringLiteral("ポンプ"));
        QCOMPARE(f.tables.CommentWO[80], QStringLiteral("弁, 開"));
        QCOMPARE(f.tables.CommentBO[3], QString());
        QCOMPARE(f.grid->CommentFileName(), f.nextFileName);
        QVERIFY(f.action("Save1")->isEnabled());
        QVERIFY(f.action("SaveAs1")->isEnabled());
        QCOMPARE(f.refreshes, refreshes);
    }

    void cancelledOpenChangesNothing()
    {
        GridFixture f;
        f.grid->New1Click();
        f.grid->Open1Click();
        QCOMPARE(f.rows().size(), 4);
        QVERIFY(!f.action("Save1")->isEnabled());
    }

    void commandLineFileLoadsWithoutRefreshing()
    {
        GridFixture f;
        f.lines.setKind(0, "IN");
        f.grid->loadCommandLineFile({});
        QVERIFY(!f.action("Save1")->isEnabled());
        const QString path = file("BI,1,a\r\n");
        f.grid->loadCommandLineFile({path, "ignored"});
        QCOMPARE(f.rows(), QStringList{"BI|1|a"});
        QCOMPARE(f.tables.CommentBI[1], QString("a"));
        QVERIFY(f.action("Save1")->isEnabled());
        QCOMPARE(f.refreshes, 0);
    }

    void loadWithBadNumberKeepsTheTables()
    {
        GridFixture f;
        f.lines.setKind(0, "IN");
        f.grid->LoadCommentFile(file("BI,5,old\r\n"));
        QCOMPARE(f.refreshes, 1);
        try {
            f.grid->LoadCommentFile(file("BI,6,new\r\nBI,x7,bad\r\n"));
            QFAIL("no conversion error");
        } catch (const EConvertError &e) {
            QCOMPARE(e.message(), QStringLiteral("'x7' は整数ではありません"));
            QCOMPARE(e.detail(), QStringLiteral("コメント表の 2 行目の番号です"));
        }
        QCOMPARE(f.tables.CommentBI[5], QString("old"));
        QCOMPARE(f.tables.CommentBI[6], QString());
        QCOMPARE(f.refreshes, 1);
        // The rows are there to be corrected and applied.
        QCOMPARE(f.rows(), (QStringList{"BI|6|new", "BI|x7|bad"}));
        f.grid->setCell(2, 2, "7");
        f.grid->btnEditDoneClick();
        QCOMPARE(f.tables.CommentBI[7], QString("bad"));
        QCOMPARE(f.tables.CommentBI[5], QString());
    }

    // A load that cannot complete changes nothing and says which file and why.
    void failedLoadChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file") << "missing"
                                      << "ファイルが見つかりません";
        QTest::newRow("too large") << "large"
                                   << "ファイルの大きさ 200 バイト が読み込める上限 100 バイト "
                                      "を超えています";
    }
    void failedLoadChangesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        GridFixture f;
        const QString good = file("BI,1,keep\r\nBO,2,this\r\n");
        f.grid->LoadCommentFile(good);
        f.grid->setCell(3, 2, "edited");
        QString path = m_dir.filePath("missing.csv");
        if (kind == "large") {
            path = file(QByteArray(200, 'x'));
            f.grid->setMaxFileBytes(100);
        }
        try {
            f.grid->LoadCommentFile(path);
            QFAIL("no error");
        } catch (const EFOpenError &e) {
            QCOMPARE(e.message(), QStringLiteral("ファイル %1 を読み込めません").arg(path));
            QCOMPARE(e.detail(), reason);
        }
        QCOMPARE(f.rows(), (QStringList{"BI|1|keep", "BO|2|edited"}));
        QCOMPARE(f.grid->CommentFileName(), good);
        QVERIFY(f.grid->isModified());
        QCOMPARE(f.tables.CommentBI[1], QString("keep"));
        // Save still writes the file that was loaded, not the one that failed.
        f.grid->Save1Click();
        QCOMPARE(readAll(good), QByteArray("BI,1,keep\r\nBO,2,edited\r\n"));
        QVERIFY(!QFileInfo(path).exists() || readAll(path) != readAll(good));
    }

    void emptyFileGivesAnEmptyGrid()
    {
        GridFixture f;
        f.grid->LoadCommentFile(file("BI,1,a\r\n"));
        f.grid->LoadCommentFile(file("\r\n  \r\n"));
        QCOMPARE(f.grid->rowCount(), 1);
        QCOMPARE(f.tables.CommentBI[1], QString());
    }

    // The load runs off the window thread: the window thread shows the progress while the
    // loading thread is held, and a cancel there changes nothing.
    void loadRunsOffTheWindowThreadAndCanBeCancelled()
    {
        GridFixture f;
        const QString first = file("BI,1,keep\r\n");
        f.grid->LoadCommentFile(first);
        QByteArray big;
        for (int i = 0; i < 100000; ++i)
            big += "WI," + QByteArray::number(i % 1024) + ",comment\r\n";
        const QString path = file(big);

        std::atomic<bool> release{false};
        f.grid->setLoadWorkerHook([&] {
            // Held until the window thread has shown progress, bounded by a deadline.
            QDeadlineTimer deadline(10000);
            while (!release && !deadline.hasExpired())
                QThread::msleep(1);
        });
        int calls = 0;
        f.grid->setLoadProgress([&](qint64, qint64 total) {
            calls += total > 0 ? 1 : 0;
            release = true;
            return false;
        });
        f.grid->LoadCommentFile(path);
        QVERIFY(calls >= 1);
        QCOMPARE(f.rows(), QStringList{"BI|1|keep"});
        QCOMPARE(f.grid->CommentFileName(), first);

        // Let go, the same file loads whole.
        f.grid->setLoadProgress([&](qint64, qint64) {
            release = true;
            return true;
        });
        f.grid->LoadCommentFile(path);
        QCOMPARE(f.grid->rowCount(), 100001);
        QCOMPARE(f.grid->cell(3, 100000), QString("comment"));
        QCOMPARE(f.grid->CommentFileName(), path);
    }

    // A line of many words and many short rows: the grid keeps the rows' fields, not a rectangle
    // of rows times the widest line; the columns shown stop at a cap, the rest stay in the row.
    void wideLineDoesNotMultiplyTheRows()
    {
        GridFixture f;
        QByteArray bytes = "BI,1,w0";
        for (int i = 1; i < 10000; ++i)
            bytes += " w" + QByteArray::number(i);
        bytes += "\r\n";
        for (int i = 0; i < 10000; ++i)
            bytes += "BO,2,x\r\n";
        f.grid->LoadCommentFile(file(bytes));
        QCOMPARE(f.grid->rowCount(), 10002);
        QCOMPARE(f.grid->colCount(), 256);
        QCOMPARE(f.grid->cell(3, 1), QString("w0"));
        QCOMPARE(f.grid->cell(300, 1), QString("w297"));
        QCOMPARE(f.grid->cell(300, 2), QString());
        QCOMPARE(f.tables.CommentBO[2], QString("x"));
    }

    // Bytes that are no Shift-JIS and text after a Ctrl-Z: told at load, asked before a save
    // that would change them; declined, the file stays as it was.
    void lossyFileIsToldAtLoadAndAskedAtSave_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("told");
        QTest::newRow("invalid bytes") << QByteArray("BI,1,a\r\nBI,2,b\x81 c\r\n")
                                       << QStringLiteral("2 行目に Shift-JIS として読めないバイト");
        QTest::newRow("text after Ctrl-Z") << QByteArray("BI,1,a\r\n\x1A"
                                                         "BI,2,b\r\n")
                                           << QStringLiteral("Ctrl-Z の後に 8 バイトのテキスト");
    }
    void lossyFileIsToldAtLoadAndAskedAtSave()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, told);
        GridFixture f;
        const QString path = file(bytes);
        f.grid->LoadCommentFile(path);
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.messages.constFirst().startsWith(QStringLiteral("警告:")) &&
                     f.messages.constFirst().contains(told),
                 qPrintable(f.messages.constFirst()));
        f.answers = {1};
        f.grid->Save1Click();
        QCOMPARE(f.questions.size(), 1);
        QVERIFY(f.questions.constFirst().contains(told));
        QCOMPARE(readAll(path), bytes);
        f.answers = {0};
        f.grid->Save1Click();
        QVERIFY(readAll(path) != bytes);
        QVERIFY(!readAll(path).contains('\x1A'));
        // Once written, the file reads back as saved: no more questions.
        f.grid->Save1Click();
        QCOMPARE(f.questions.size(), 2);
    }

    // Out of memory during a load: the grid stays as it was and the message says why. Run in a
    // fresh run of this test program whose address space is limited (not under a sanitizer,
    // which needs more than the limit leaves).
    void outOfMemoryLeavesTheGridAndSaysWhy()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("a sanitizer needs more address space than the limit leaves");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
        QSKIP("a sanitizer needs more address space than the limit leaves");
#endif
#endif
        const QByteArray big = qgetenv("QX_TEST_OOM_FILE");
        if (big.isEmpty()) {
            QByteArray bytes;
            bytes.reserve(40 << 20);
            while (bytes.size() < (40 << 20))
                bytes += "WO,1023,\x83\x52\x83\x81\x83\x93\x83\x67\r\n";
            const QString path = file(bytes);
            bytes = QByteArray();
            QProcess run;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QX_TEST_OOM_FILE", path);
            env.insert("QT_QPA_PLATFORM", "offscreen");
            run.setProcessEnvironment(env);
            run.setProcessChannelMode(QProcess::MergedChannels);
            run.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("outOfMemoryLeavesTheGridAndSaysWhy")});
            QVERIFY(run.waitForFinished(60000));
            QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                     run.readAll().constData());
            return;
        }
        // The run with the limit: what the process has mapped now and 96 MB more, well below
        // what the 40 MB file needs.
        QFile status("/proc/self/status");
        qint64 mapped = 0;
        QVERIFY(status.open(QIODevice::ReadOnly));
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmSize:"))
                mapped = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
        QVERIFY(mapped > 0);
        const rlimit limit{rlim_t(mapped + (96 << 20)), rlim_t(mapped + (96 << 20))};
        QCOMPARE(setrlimit(RLIMIT_AS, &limit), 0);
        GridFixture f;
        const QString small = file("BI,1,keep\r\n");
        f.grid->LoadCommentFile(small);
        const QString path = QString::fromLocal8Bit(big);
        try {
            f.grid->LoadCommentFile(path);
            QFAIL("the load did not run out of memory");
        } catch (const EFOpenError &e) {
            QCOMPARE(e.message(), QStringLiteral("ファイル %1 を読み込めません").arg(path));
            QVERIFY2(e.detail().contains(QStringLiteral("メモリが足りません")),
                     qPrintable(e.detail()));
        }
        QCOMPARE(f.rows(), QStringList{"BI|1|keep"});
        QCOMPARE(f.grid->CommentFileName(), small);
    }
};

QTEST_MAIN(tst_CommentGridLoad)
#include "tst_commentgridload.moc"
