#include "comments/CommentModel.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"
#include "tests/comments/CommentGridFixture.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

// The grid as the user works in it: rows, edits, saving, unsaved edits, recovery.
class tst_CommentGrid : public CommentGridTestBase
{
    Q_OBJECT

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
};

QTEST_MAIN(tst_CommentGrid)
#include "tst_commentgrid.moc"
