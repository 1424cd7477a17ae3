#pragma once

#include "comments/CommentFile.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QFileDialog;
class QMenu;
class QPushButton;
class DisplayLineTexts;
class QTableWidget;

// The comment grid StringGrid1, its file, its File menu items and pop-up menu, and the apply
// button btnEditDone. The grid's cells are addressed as (column, row) with row 0 the header row
// and column 0 the row number column, both fixed; they are the grid's headers on screen.
//
// The comment tables change only on a load or on applying the edits, and only when every Number
// of the grid is an integer.
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

    // Builds StringGrid1, btnEditDone and PopupMenu1 on the client area and connects the File
    // menu actions New1, Open1, Save1 and SaveAs1 found among window's children (made here when
    // missing); window also parents the dialogs and message boxes. The grid compiles into
    // tables. A load refreshes the comment panels of display lines 0..3 with
    // refreshCommentLines once the first display line shows a kind (lines).
    CommentGrid(QWidget *client, QWidget *window, CommentTables &tables,
                const DisplayLineTexts &lines, std::function<void()> refreshCommentLines,
                QObject *parent = nullptr);

    QTableWidget *grid() const { return m_grid; }

    // Cell texts numbered as the user sees them: row 0 headers, column 0 row numbers.
    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);
    // Rows and columns including the fixed ones.
    int rowCount() const;
    int colCount() const;

    const QString &CommentFileName() const { return m_fileName; }

    // Reads a comment file into the grid and rebuilds the tables. Throws EFOpenError (the grid
    // already cut back to one row) or EConvertError (grid loaded, tables unchanged).
    void LoadCommentFile(const QString &path);
    // Writes the grid's Type, Number and Comment columns. Throws EFCreateError.
    void SaveCommentFile(const QString &path);
    // Compiles the grid into the tables; throws EConvertError leaving them unchanged.
    void RebuildCommentTables();

    // Start-up, with the command-line arguments after the program's own name: loads the first
    // one, if any, without refreshing the comment panels (no display line has a kind yet).
    // Throws as LoadCommentFile; the caller shows the error and goes on with its start-up.
    void loadCommandLineFile(const QStringList &arguments);

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

    // The file dialogs, made on first use and kept.
    QFileDialog *openDialog();
    QFileDialog *saveDialog();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *menuAction(const char *name);
    void setupGrid();
    void setRowCount(int rows);
    void setColCount(int columns);
    void renumber();
    void copyRow(int from, int to);
    int selectedRow() const;
    QList<CommentRow> rows() const;
    QString io1Text() const;
    void load(const QString &path, bool refresh);

    QWidget *m_window = nullptr;
    CommentTables &m_tables;
    const DisplayLineTexts &m_lines;
    std::function<void()> m_refresh;
    QTableWidget *m_grid = nullptr;
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
    QString m_fileName;
    QWidget *m_corner = nullptr;
    QString m_cornerText = QStringLiteral("No");
};
