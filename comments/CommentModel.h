#pragma once

#include "comments/CommentFile.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

// The cells of the comment grid. A row keeps what its line held and nothing more: one text with
// its cells from column 1 on, separated by U+0000 (CommentFileContent's form), so memory follows
// the file's size, not the number of rows times the widest line. The grid's column count is the
// widest line's, shown up to kMaxColumns; cells beyond stay in their rows.
//
// Model rows are the grid's data rows 1, 2, ...; model columns the grid's columns 1, 2, ...; the
// view's headers show row 0 (the column titles) and column 0 (the row numbers, always 1, 2, 3
// ... in order). Only the Number and Comment columns (2 and 3) are editable.
//
// Thread contract: window thread only.
class CommentModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kMaxColumns = 256;

    explicit CommentModel(QObject *parent = nullptr);

    // Grid coordinates, as CommentGrid's cell(): row 0 headers, column 0 row numbers.
    QString cell(int column, int row) const;
    // Row 0 sets a column title, column 0 is the row number and cannot be set.
    void setCell(int column, int row, const QString &text);
    int gridRows() const { return int(m_rows.size()) + 1; }
    int gridColumns() const { return m_columns; }

    // Keeps the first rows - 1 data rows, adds empty ones up to it.
    void setGridRows(int rows);
    // Never fewer than the columns of the design (4); at most kMaxColumns.
    void setGridColumns(int columns);
    // Data row `row` (1 = first) and its copy directly below it.
    void duplicateRow(int row);
    void removeGridRow(int row);
    // Replaces every data row and the column count at once: with a file's content (a load), or
    // with rows given as texts in CommentFileContent's form (New).
    void replaceRows(CommentFileContent &&content);
    void replaceRows(const QStringList &rows);
    QList<CommentRow> commentRows() const;
    // Type, Number and Comment of data row `row` (0 = first).
    CommentRow commentRow(qsizetype row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // Any change of a data row's cells or of the rows themselves.
    void edited();

private:
    // A row: a span of the loaded text, or once edited one of the texts of its own.
    struct Row {
        qsizetype start = 0;
        qint32 length = 0;
        qint32 own = -1;
    };
    QStringView rowText(int row) const;
    QString field(int row, int index) const;
    void setField(int row, int index, const QString &text);

    QString m_text;
    QList<QString> m_own;
    QList<Row> m_rows;
    QStringList m_headers;
    int m_columns = 4;
};
