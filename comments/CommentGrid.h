#pragma once

#include "comments/CommentFile.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QFileDialog;
class QMenu;
class QPushButton;
class DisplayLineTexts;
class CommentModel;
class QTableView;

// The comment grid StringGrid1, its file, its File menu items and pop-up menu, and the apply
// button btnEditDone. The grid's cells are addressed as (column, row) with row 0 the header row
// and column 0 the row number column, both fixed; they are the grid's headers on screen.
//
// The comment tables change only on a load or on applying the edits, and only when every Number
// of the grid is an integer.
//
// Nothing the user typed is lost without a question: the grid knows whether it differs from what
// was last loaded or saved, and New, Open and the window's end ask first (mayReplaceGrid). A load
// reads and parses the whole file before anything changes, off the window thread, with a
// progress dialog that can cancel it; a load that fails or is cancelled changes nothing.
//
// Thread contract: window thread only.
class CommentGrid : public QObject
{
    Q_OBJECT
public:
    // Asks the user for a file name through the given dialog; empty when cancelled.
    using FileNamePrompt = std::function<QString(QFileDialog &dialog)>;
    // Shows the program's own message box (text, caption) with an OK button.
    using MessageBox = std::function<void(const QString &text, const QString &caption)>;
    // Asks a question with the given buttons; gives the index of the button chosen, or -1 when
    // the box was closed without one.
    using Question = std::function<int(const QString &text, const QStringList &buttons)>;
    // Shows how far a load has got (bytes of total) while it runs; false cancels it.
    using LoadProgress = std::function<bool(qint64 done, qint64 total)>;
    // Tells the user at once that the text just typed or pasted into a cell was refused.
    using EditorNotice = std::function<void(QWidget *editor, const QString &text)>;

    // Files larger than this are not loaded (the grid keeps about five times a file's size).
    static constexpr qint64 kMaxFileBytes = qint64(256) << 20;

    // Builds StringGrid1, btnEditDone and PopupMenu1 on the client area and connects the File
    // menu actions New1, Open1, Save1 and SaveAs1 found among window's children (made here when
    // missing); window also parents the dialogs and message boxes. The grid compiles into
    // tables. A load refreshes the comment panels of display lines 0..3 with
    // refreshCommentLines once the first display line shows a kind (lines).
    CommentGrid(QWidget *client, QWidget *window, CommentTables &tables,
                const DisplayLineTexts &lines, std::function<void()> refreshCommentLines,
                QObject *parent = nullptr);

    QTableView *grid() const { return m_grid; }
    CommentModel *model() const { return m_model; }
    // Makes (column, row) the current cell, as a click on it does.
    void selectCell(int column, int row);

    // Cell texts numbered as the user sees them: row 0 headers, column 0 row numbers.
    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);
    // Rows and columns including the fixed ones.
    int rowCount() const;
    int colCount() const;

    const QString &CommentFileName() const { return m_fileName; }

    // Reads a comment file into the grid and rebuilds the tables. The whole file is read and
    // parsed first: when that fails (EFOpenError naming the file, with the reason as detail:
    // missing, unreadable, too large, out of memory) or the user cancels it, the grid, the file
    // name and the menu items stay as they were. Throws EConvertError (grid loaded, tables
    // unchanged, the row named) when a Number is not an integer. A file holding bytes that are
    // no Shift-JIS, or text after a Ctrl-Z, loads with a warning that names the row.
    void LoadCommentFile(const QString &path);
    // Writes the grid's Type, Number and Comment columns. Throws EFCreateError, leaving the file
    // untouched, when it cannot be written or a cell holds a character Shift-JIS cannot carry
    // (the message names the row, the column and the character). When the loaded file held
    // bytes a save writes differently, asks first; declined, nothing is written.
    void SaveCommentFile(const QString &path);
    // Compiles the grid into the tables; throws EConvertError leaving them unchanged.
    void RebuildCommentTables();

    // Start-up, with the command-line arguments after the program's own name: loads the first
    // one, if any, without refreshing the comment panels (no display line has a kind yet).
    // Throws as LoadCommentFile; the caller shows the error and goes on with its start-up.
    // Also offers the edits a signal kept in a recovery file at the last end (keepForRecovery).
    void loadCommandLineFile(const QStringList &arguments);

    // Whether the grid differs from what was last loaded, saved or made by New.
    bool isModified() const { return m_modified; }
    // Before the grid is replaced or the window ends: with unsaved edits, asks save / discard /
    // cancel. True when the caller may go on (saved, discarded or nothing to lose); false keeps
    // everything as it is. A failed save throws and counts as cancel. A load in progress is
    // cancelled.
    bool mayReplaceGrid();
    // The end without a question (a termination signal): unsaved edits go to the recovery file
    // beside the comment file (recoveryPath), offered at the next start. Returns the file
    // written, empty when there was nothing to keep or it could not be written.
    QString keepForRecovery();
    // <comment file>.recovery.csv, or qxwatch-unsaved.csv in the recovery folder for a grid
    // that has no file yet.
    QString recoveryPath() const;
    void setRecoveryFolder(const QString &folder) { m_recoveryFolder = folder; }
    // Stops a load in progress (the window is going away).
    void cancelLoad() { m_cancelLoad = true; }

    void New1Click();
    void Open1Click();
    void Save1Click();
    void SaveAs1Click();
    void N6Click();
    void N7Click();
    void N8Click();
    void btnEditDoneClick();
    void StringGrid1SelectCell(int column, int row);

    // Seams for tests: what stands in for the modal dialogs.
    void setFileNamePrompt(FileNamePrompt prompt) { m_prompt = std::move(prompt); }
    void setMessageBox(MessageBox box) { m_messageBox = std::move(box); }
    void setQuestion(Question question) { m_question = std::move(question); }
    void setLoadProgress(LoadProgress progress) { m_progress = std::move(progress); }
    void setEditorNotice(EditorNotice notice) { m_editorNotice = std::move(notice); }
    void setMaxFileBytes(qint64 bytes) { m_maxFileBytes = bytes; }
    // Runs on the loading thread before it parses (tests hold the load there).
    void setLoadWorkerHook(std::function<void()> hook) { m_workerHook = std::move(hook); }
    // The editors' notice, for the cell delegate.
    void noticeEditor(QWidget *editor, const QString &text) const;

    // The file dialogs, made on first use and kept.
    QFileDialog *openDialog();
    QFileDialog *saveDialog();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *menuAction(const char *name);
    void setupGrid();
    void setDesignWidths();
    int selectedRow() const;
    QList<CommentRow> rows() const;
    QString io1Text() const;
    bool load(const QString &path, bool refresh);
    // Reads, parses and compiles path on a thread of its own; tables is null and the
    // conversion error given when a Number is not an integer. False when cancelled.
    bool readContent(const QString &path, CommentFileContent &content,
                     std::unique_ptr<CommentTables> &tables, QString &convertMessage,
                     QString &convertDetail);
    void offerRecovery(const QString &path);
    void saved();

    QWidget *m_window = nullptr;
    CommentTables &m_tables;
    const DisplayLineTexts &m_lines;
    std::function<void()> m_refresh;
    QTableView *m_grid = nullptr;
    CommentModel *m_model = nullptr;
    QPushButton *m_editDone = nullptr;
    QMenu *m_popup = nullptr;
    QAction *m_new = nullptr;
    QAction *m_open = nullptr;
    QAction *m_save = nullptr;
    QAction *m_saveAs = nullptr;
    QPointer<QFileDialog> m_openDialog;
    QPointer<QFileDialog> m_saveDialog;
    FileNamePrompt m_prompt;
    MessageBox m_messageBox;
    Question m_question;
    LoadProgress m_progress;
    EditorNotice m_editorNotice;
    std::function<void()> m_workerHook;
    QString m_fileName;
    QString m_recoveryFolder;
    // What the loaded file held that a save writes differently; empty when nothing.
    QString m_lossNotice;
    qint64 m_maxFileBytes = kMaxFileBytes;
    bool m_modified = false;
    bool m_loading = false;
    std::atomic<bool> m_cancelLoad{false};
    QWidget *m_corner = nullptr;
};
