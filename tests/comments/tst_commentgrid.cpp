#include "comments/CommentGrid.h"
#include "comments/CommentModel.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"
#include "tests/support/FakeDisplayLines.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <sys/resource.h>

// A form as the window builds it: client area and File menu items; display line 1's kind text.
struct GridFixture {
    QWidget form;
    QWidget *client = new QWidget(&form);
    FakeDisplayLines lines;
    CommentTables tables;
    int refreshes = 0;
    QStringList messages;
    QStringList questions;
    // Answers to the questions, in order; once used up, the last button (cancel).
    QList<int> answers;
    QString nextFileName;
    std::unique_ptr<CommentGrid> grid;

    GridFixture()
    {
        for (const char *name : {"New1", "Open1", "Save1", "SaveAs1"})
            (new QAction(&form))->setObjectName(QLatin1String(name));
        grid = std::make_unique<CommentGrid>(client, &form, tables, lines, [this] { ++refreshes; });
        grid->setMessageBox([this](const QString &text, const QString &caption) {
            messages.append(caption + QLatin1Char(':') + text);
        });
        grid->setFileNamePrompt([this](QFileDialog &) { return nextFileName; });
        grid->setQuestion([this](const QString &text, const QStringList &buttons) {
            questions.append(text);
            return answers.isEmpty() ? int(buttons.size()) - 1 : answers.takeFirst();
        });
    }
    QAction *action(const char *name) { return form.findChild<QAction *>(QLatin1String(name)); }

    // Data rows as "Type|Number|Comment", checking that column 0 numbers them 1, 2, 3 ...
    QStringList rows() const
    {
        QStringList out;
        for (int r = 1; r < grid->rowCount(); ++r) {
            if (grid->cell(0, r) != QString::number(r))
                out.append(QStringLiteral("bad row number %1").arg(grid->cell(0, r)));
            out.append(grid->cell(1, r) + '|' + grid->cell(2, r) + '|' + grid->cell(3, r));
        }
        return out;
    }
    void setRows(const QStringList &rows)
    {
        if (grid->isModified())
            answers.prepend(1); // discard what an earlier setRows made
        grid->New1Click();
        while (grid->rowCount() > 1)
            grid->N7Click();
        for (const QString &row : rows) {
            grid->N8Click();
            const QStringList cells = row.split('|');
            for (int c = 0; c < 3; ++c)
                grid->setCell(c + 1, grid->rowCount() - 1, cells.value(c));
        }
    }
};

class tst_CommentGrid : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString file(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("c%1.csv").arg(++m_files));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write test file");
        f.write(bytes);
        return path;
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void startsWithHeadersAndOneEmptyRow()
    {
        GridFixture f;
        QCOMPARE(f.grid->rowCount(), 2);
        QCOMPARE(f.grid->colCount(), 4);
        const QStringList headers{"No", "Type", "番号", "コメント"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(f.grid->cell(c, 0), headers.at(c));
        // The row number column always numbers the rows.
        QCOMPARE(f.grid->cell(0, 1), QString("1"));
        for (int c = 1; c < 4; ++c)
            QCOMPARE(f.grid->cell(c, 1), QString());
        QVERIFY(f.action("New1")->isEnabled());
        QVERIFY(f.action("Open1")->isEnabled());
        QVERIFY(!f.action("Save1")->isEnabled());
        QVERIFY(!f.action("SaveAs1")->isEnabled());
        QTableView *table = f.client->findChild<QTableView *>("StringGrid1");
        QCOMPARE(table, f.grid->grid());
        QCOMPARE(table->geometry(), QRect(688, 40, 217, 617));
        QCOMPARE(table->verticalHeader()->width(), 30);
        QCOMPARE(table->columnWidth(0), 30);
        QCOMPARE(table->columnWidth(1), 30);
        QCOMPARE(table->columnWidth(2), 100);
        QCOMPARE(table->rowHeight(0), 16);
        QCOMPARE(f.client->findChild<QPushButton *>("btnEditDone")->pos(), QPoint(800, 0));
    }

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

    void newThenSaveAsWritesAndReadsBack()
    {
        GridFixture f;
        f.grid->New1Click();
        QVERIFY(f.action("SaveAs1")->isEnabled());
        QVERIFY(!f.action("Save1")->isEnabled());
        f.grid->setCell(3, 2, QStringLiteral("非常停止, 押下中"));
        f.nextFileName = m_dir.filePath("new.csv");
        QFileDialog *seen = nullptr;
        f.grid->setFileNamePrompt([&](QFileDialog &d) {
            seen = &d;
            return f.nextFileName;
        });
        f.action("SaveAs1")->trigger();

        QCOMPARE(seen->objectName(), QString("SaveDialog1"));
        QCOMPARE(seen->defaultSuffix(), QString("csv"));
        QCOMPARE(seen->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!seen->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(readAll(f.nextFileName),
                 toSjis(QStringLiteral("BI,0,\" \"\r\nBO,0,\"非常停止, 押下中\"\r\nWI,0,\" \"\r\n"
                                       "WO,0,\" \"\r\n")));
        QVERIFY(f.action("Save1")->isEnabled());
        QCOMPARE(f.grid->CommentFileName(), f.nextFileName);

        const QStringList before = f.rows();
        f.grid->LoadCommentFile(f.nextFileName);
        QCOMPARE(f.rows(), before);
        QCOMPARE(f.grid->colCount(), 4);

        f.grid->setCell(3, 1, "edited");
        f.action("Save1")->trigger();
        QVERIFY(readAll(f.nextFileName).startsWith("BI,0,edited\r\nBO,0,"));
    }

    void failedSaveAsKeepsSaveDisabled()
    {
        GridFixture f;
        f.grid->New1Click();
        f.nextFileName = m_dir.filePath("nofolder/x.csv");
        try {
            f.grid->SaveAs1Click();
            QFAIL("no error");
        } catch (const EFCreateError &e) {
            QCOMPARE(e.message(),
                     QStringLiteral("ファイル %1 を作成できません").arg(f.nextFileName));
        }
        QCOMPARE(f.grid->CommentFileName(), f.nextFileName);
        QVERIFY(!f.action("Save1")->isEnabled());
    }

    void rowCommands_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("expected");

        const QStringList two{"BI|1|a", "WI|16|c"};
        QTest::newRow("add copies the last row")
            << two << 1 << "N8" << QStringList{"BI|1|a", "WI|16|c", "WI|16|c"};
        QTest::newRow("insert at the last row numbers the copy one higher")
            << two << 2 << "N6" << QStringList{"BI|1|a", "WI|16|c", "WI|17|c"};
        QTest::newRow("insert leaves the rows below alone")
            << two << 1 << "N6" << QStringList{"BI|1|a", "BI|2|a", "WI|16|c"};
        QTest::newRow("delete the first row") << two << 1 << "N7" << QStringList{"WI|16|c"};
        QTest::newRow("delete the last row") << two << 2 << "N7" << QStringList{"BI|1|a"};
        QTest::newRow("delete the only row") << QStringList{"BI|1|a"} << 1 << "N7" << QStringList{};
        QTest::newRow("add to an empty grid gives an empty row")
            << QStringList{} << 0 << "N8" << QStringList{"||"};
        QTest::newRow("insert into an empty grid does nothing")
            << QStringList{} << 0 << "N6" << QStringList{};
        QTest::newRow("delete from an empty grid does nothing")
            << QStringList{} << 0 << "N7" << QStringList{};
    }
    void rowCommands()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, selected);
        QFETCH(QString, command);
        QFETCH(QStringList, expected);
        GridFixture f;
        f.setRows(rows);
        QCOMPARE(f.rows(), rows);
        if (selected > 0)
            f.grid->selectCell(3, selected);
        f.client->findChild<QAction *>(command)->trigger();
        QCOMPARE(f.rows(), expected);
    }

    void insertWithBadNumberMovesNothing()
    {
        GridFixture f;
        f.setRows({"BI|1|a", "BI|x|b", "BO|3|c"});
        f.grid->selectCell(1, 2);
        try {
            f.grid->N6Click();
            QFAIL("no conversion error");
        } catch (const EConvertError &e) {
            QCOMPARE(e.message(), QStringLiteral("'x' は整数ではありません"));
            QCOMPARE(e.detail(), QStringLiteral("コメント表の 2 行目の番号です"));
        }
        QCOMPARE(f.rows(), (QStringList{"BI|1|a", "BI|x|b", "BO|3|c"}));
    }

    void deletingEverythingSavesAnEmptyFile()
    {
        GridFixture f;
        f.setRows({"BI|1|a"});
        f.grid->N7Click();
        const QString path = m_dir.filePath("empty.csv");
        f.grid->SaveCommentFile(path);
        QCOMPARE(readAll(path), QByteArray());
    }

    void popupShortcutsAndKeysOnTheGrid()
    {
        GridFixture f;
        QCOMPARE(f.client->findChild<QAction *>("N6")->shortcut(), QKeySequence(Qt::Key_Insert));
        QCOMPARE(f.client->findChild<QAction *>("N7")->shortcut(), QKeySequence(Qt::Key_Delete));
        QVERIFY(f.client->findChild<QAction *>("N8")->shortcut().isEmpty());

        // The main menu has its own Del (the CLR key); in the grid Del deletes a row instead.
        auto *clr = new QAction(&f.form);
        clr->setShortcut(QKeySequence(Qt::Key_Delete));
        f.form.addAction(clr);
        QSignalSpy clrSpy(clr, &QAction::triggered);
        f.form.resize(920, 700);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        f.setRows({"BI|1|a", "BI|2|b", "BI|3|c"});
        f.grid->grid()->setFocus();
        f.grid->selectCell(3, 1);
        QTest::keyClick(f.grid->grid(), Qt::Key_Delete);
        QCOMPARE(f.rows(), (QStringList{"BI|2|b", "BI|3|c"}));
        QTest::keyClick(f.grid->grid(), Qt::Key_Insert);
        QCOMPARE(f.rows(), (QStringList{"BI|2|b", "BI|3|b", "BI|3|c"}));
        QCOMPARE(clrSpy.count(), 0);
    }

    void applyEdits_data()
    {
        QTest::addColumn<QString>("firstType");
        QTest::addColumn<QString>("io1");
        QTest::addColumn<bool>("applied");
        QTest::newRow("empty first type") << ""
                                          << "IN" << false;
        QTest::newRow("empty display line") << "BI"
                                            << "" << false;
        QTest::newRow("display line starting with a blank") << "BI"
                                                            << " IN" << false;
        QTest::newRow("no frame yet") << "BI"
                                      << "--" << true;
        QTest::newRow("line of kind OUT") << "BI"
                                          << "OUT" << true;
    }
    void applyEdits()
    {
        QFETCH(QString, firstType);
        QFETCH(QString, io1);
        QFETCH(bool, applied);
        GridFixture f;
        f.setRows({firstType + "|4|first", "BO|9|second"});
        f.lines.setKind(0, io1);
        f.client->findChild<QPushButton *>("btnEditDone")->click();
        QCOMPARE(f.tables.CommentBO[9], applied ? QString("second") : QString());
        QCOMPARE(f.refreshes, applied ? 1 : 0);
        QCOMPARE(f.messages,
                 applied ? QStringList{} : QStringList{"エラー:コメントがセットされていません"});
    }

    void applyWithBadNumberChangesNothing()
    {
        GridFixture f;
        f.lines.setKind(0, "IN");
        f.setRows({"BI|1|a"});
        f.grid->btnEditDoneClick();
        f.setRows({"BI|2|b", "BO||c"});
        QVERIFY_THROWS_EXCEPTION(EConvertError, f.grid->btnEditDoneClick());
        QCOMPARE(f.tables.CommentBI[1], QString("a"));
        QCOMPARE(f.tables.CommentBI[2], QString());
        QCOMPARE(f.refreshes, 1);
    }

    void typingEditsOnlyNumberAndComment_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("type column") << 1 << "BI|5|a";
        QTest::newRow("number column") << 2 << "BI|7|a";
        QTest::newRow("comment column") << 3 << "BI|5|7";
    }
    void typingEditsOnlyNumberAndComment()
    {
        QFETCH(int, column);
        QFETCH(QString, expected);
        GridFixture f;
        f.form.resize(920, 700);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        f.setRows({"BI|5|a"});
        f.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.form));
        f.grid->grid()->setFocus();
        f.grid->selectCell(column, 1);
        QTest::keyClick(f.grid->grid(), '7');
        if (QWidget *editor = QApplication::focusWidget(); editor && editor != f.grid->grid())
            QTest::keyClick(editor, Qt::Key_Return);
        // The editor hands its text over after the key has been handled.
        QTRY_COMPARE(f.rows(), QStringList{expected});
    }

    // Typing into a cell: look-alikes turn into their code page form at once, a character the
    // file cannot carry is refused at once with a notice naming it.
    void editorChecksTheTextAsItEnters()
    {
        GridFixture f;
        QStringList notices;
        f.grid->setEditorNotice([&](QWidget *, const QString &text) { notices.append(text); });
        f.form.resize(920, 700);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        f.setRows({"BI|5|a"});
        f.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.form));
        f.grid->grid()->setFocus();
        f.grid->selectCell(3, 1);
        QTest::keyClick(f.grid->grid(), Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        // As an input method hands over its text, and as a key with a text does.
        auto commit = [editor](const QString &text) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QApplication::sendEvent(editor, &event);
        };
        auto key = [editor](const QString &text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QApplication::sendEvent(editor, &press);
        };
        QTest::keyClicks(editor, "A");
        commit(QStringLiteral("\u301CB"));
        commit(QStringLiteral("\U0001F600"));
        key(QStringLiteral("\u2212"));
        QTest::keyClicks(editor, "C");
        QCOMPARE(editor->text(), QStringLiteral("A\uFF5EB\uFF0DC"));
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.constFirst().contains(QStringLiteral("'\U0001F600' (U+1F600)")),
                 qPrintable(notices.constFirst()));
        // A paste of unencodable text is refused whole.
        editor->insert(QStringLiteral("x\uD55Cy"));
        QCOMPARE(editor->text(), QStringLiteral("A\uFF5EB\uFF0DC"));
        QCOMPARE(notices.size(), 2);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(f.rows(), QStringList{QStringLiteral("BI|5|A\uFF5EB\uFF0DC")});
    }

    void saveWithUnencodableCharacterLeavesTheFile()
    {
        GridFixture f;
        const QString path = file("BI,1,old\r\n");
        f.grid->LoadCommentFile(path);
        f.grid->setCell(3, 1, QStringLiteral("new\U0001F600"));
        try {
            f.grid->Save1Click();
            QFAIL("no error");
        } catch (const EFCreateError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("1 行目のコメントの 4 文字目")),
                     qPrintable(e.message()));
        }
        QCOMPARE(readAll(path), QByteArray("BI,1,old\r\n"));
        QVERIFY(f.grid->isModified());
        f.grid->setCell(3, 1, QStringLiteral("A\u301CB\u2212C\u00A5D"));
        f.grid->Save1Click();
        QCOMPARE(readAll(path), QByteArray::fromHex("42492c312c418160428"
                                                    "17c435c440d0a"));
        QVERIFY(!f.grid->isModified());
    }

    // Unsaved edits are asked about before New, Open and the window's end; answers are save (0),
    // discard (1) and cancel (2).
    void unsavedEditsAreAskedAbout_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answer");
        for (const char *command : {"New1", "Open1", "close"}) {
            QTest::addRow("%s, save", command) << command << 0;
            QTest::addRow("%s, discard", command) << command << 1;
            QTest::addRow("%s, cancel", command) << command << 2;
        }
    }
    void unsavedEditsAreAskedAbout()
    {
        QFETCH(QString, command);
        QFETCH(int, answer);
        GridFixture f;
        const QString path = file("BI,1,old\r\n");
        f.grid->LoadCommentFile(path);
        QVERIFY(!f.grid->isModified());
        // Without edits nothing is asked.
        QVERIFY(f.grid->mayReplaceGrid());
        QVERIFY(f.questions.isEmpty());

        f.grid->setCell(3, 1, "edited");
        QVERIFY(f.grid->isModified());
        f.nextFileName = file("BO,7,other\r\n");
        f.answers = {answer};
        bool replaced = false;
        if (command == "close")
            replaced = f.grid->mayReplaceGrid();
        else
            f.action(command.toLatin1().constData())->trigger();
        QCOMPARE(f.questions.size(), 1);
        QVERIFY(f.questions.constFirst().contains(path));

        QCOMPARE(readAll(path),
                 answer == 0 ? QByteArray("BI,1,edited\r\n") : QByteArray("BI,1,old\r\n"));
        if (answer == 2) {
            QVERIFY(!replaced);
            QCOMPARE(f.rows(), QStringList{"BI|1|edited"});
            QCOMPARE(f.grid->CommentFileName(), path);
            QVERIFY(f.grid->isModified());
        } else if (command == "New1") {
            QCOMPARE(f.rows().size(), 4);
        } else if (command == "Open1") {
            QCOMPARE(f.rows(), QStringList{"BO|7|other"});
        } else {
            QVERIFY(replaced);
        }
    }

    void savingAnUntitledGridAsksForAName()
    {
        GridFixture f;
        f.grid->New1Click();
        QVERIFY(!f.grid->isModified());
        f.grid->setCell(3, 1, "typed");
        f.answers = {0};
        f.nextFileName = QString(); // the save dialog cancelled: nothing may be lost
        QVERIFY(!f.grid->mayReplaceGrid());
        QVERIFY(f.grid->isModified());
        f.answers = {0};
        f.nextFileName = m_dir.filePath("named.csv");
        QVERIFY(f.grid->mayReplaceGrid());
        QVERIFY(readAll(f.nextFileName).startsWith("BI,0,typed\r\n"));
    }

    // Only Number and Comment are editable, by any route: Tab and Shift+Tab move an open editor
    // on to the next editable cell or close it, never into Type or an extra column.
    void tabNeverOpensAnEditorInOtherColumns()
    {
        GridFixture f;
        f.form.resize(920, 700);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        f.grid->LoadCommentFile(file("BI,5,a extra\r\nBO,6,b\r\n"));
        QCOMPARE(f.grid->colCount(), 5);
        f.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.form));
        f.grid->grid()->setFocus();
        f.grid->selectCell(3, 1);
        QTest::keyClick(f.grid->grid(), Qt::Key_F2);
        QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        // Tab from the comment: the extra column is next; Shift+Tab from the number: Type.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "ZZ");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        f.grid->selectCell(2, 2);
        QTest::keyClick(f.grid->grid(), Qt::Key_F2);
        QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QTest::keyClicks(QApplication::focusWidget(), "ZZ");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::qWait(0);
        QCOMPARE(f.rows(), (QStringList{"BI|5|a", "BO|6|b"}));
        QCOMPARE(f.grid->cell(4, 1), QString("extra"));
        // Model columns are grid columns 1 (Type), 2, 3 and 4 (the extra field).
        for (int c : {0, 3}) {
            const QModelIndex at = f.grid->model()->index(0, c);
            QVERIFY(!(f.grid->model()->flags(at) & Qt::ItemIsEditable));
        }
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

    // A termination signal keeps unsaved edits beside the comment file; the next start offers
    // them, and taking them gives the edited grid, still unsaved.
    void recoveryFileKeepsEditsForTheNextStart()
    {
        const QString path = file("BI,1,old\r\n");
        {
            GridFixture f;
            f.grid->loadCommandLineFile({path});
            QCOMPARE(f.grid->keepForRecovery(), QString());
            f.grid->setCell(3, 1, QStringLiteral("new\u301C"));
            QCOMPARE(f.grid->keepForRecovery(), path + ".recovery.csv");
            QVERIFY(!f.grid->isModified());
        }
        QCOMPARE(readAll(path), QByteArray("BI,1,old\r\n"));
        {
            GridFixture f;
            f.answers = {0};
            f.grid->loadCommandLineFile({path});
            QCOMPARE(f.questions.size(), 1);
            QVERIFY(f.questions.constFirst().contains(path + ".recovery.csv"));
            QCOMPARE(f.rows(), QStringList{QStringLiteral("BI|1|new\uFF5E")});
            QCOMPARE(f.tables.CommentBI[1], QStringLiteral("new\uFF5E"));
            QVERIFY(f.grid->isModified());
            QCOMPARE(f.grid->CommentFileName(), path);
            QVERIFY(!QFileInfo::exists(path + ".recovery.csv"));
        }
        // An untitled grid's edits go to the recovery folder.
        {
            GridFixture f;
            f.grid->setRecoveryFolder(m_dir.path());
            f.grid->New1Click();
            f.grid->setCell(3, 2, "untitled");
            QCOMPARE(f.grid->keepForRecovery(), m_dir.filePath("qxwatch-unsaved.csv"));
        }
        {
            GridFixture f;
            f.grid->setRecoveryFolder(m_dir.path());
            f.answers = {1};
            f.grid->loadCommandLineFile({});
            QCOMPARE(f.questions.size(), 1);
            QCOMPARE(f.rows().size(), 1);
            QVERIFY(!QFileInfo::exists(m_dir.filePath("qxwatch-unsaved.csv")));
        }
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

QTEST_MAIN(tst_CommentGrid)
#include "tst_commentgrid.moc"
