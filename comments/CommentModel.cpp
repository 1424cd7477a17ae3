#include "comments/CommentModel.h"

#include <algorithm>

namespace
{

constexpr int kDesignColumns = 4;
constexpr QChar kSep = CommentFileContent::kSeparator;

} // namespace

CommentModel::CommentModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_headers = {QStringLiteral("No"), QString(), QString(), QString()};
}

QStringView CommentModel::rowText(int row) const
{
    const Row &r = m_rows.at(row);
    if (r.own >= 0)
        return m_own.at(r.own);
    return QStringView(m_text).mid(r.start, r.length);
}

QString CommentModel::field(int row, int index) const
{
    if (row < 0 || row >= m_rows.size() || index < 0)
        return QString();
    int n = 0;
    for (QStringView part : rowText(row).tokenize(kSep)) {
        if (n++ == index)
            return part.toString();
    }
    return QString();
}

void CommentModel::setField(int row, int index, const QString &text)
{
    QList<QStringView> parts = rowText(row).split(kSep);
    // An empty row text is one empty field.
    while (parts.size() <= index)
        parts.append(QStringView());
    QString next;
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            next += kSep;
        if (i == index)
            next += text;
        else
            next += parts.at(i);
    }
    // Empty fields at the end hold nothing a cell would show.
    while (next.endsWith(kSep))
        next.chop(1);
    // Rows copied from this one share its text: the edit gets a text of its own.
    m_own.append(next);
    m_rows[row].own = qint32(m_own.size() - 1);
}

QString CommentModel::cell(int column, int row) const
{
    // A row's fields beyond the columns shown are still there to read.
    if (column < 0 || row < 0 || row >= gridRows() || (row == 0 && column >= m_columns))
        return QString();
    if (row == 0)
        return m_headers.value(column);
    if (column == 0)
        return QString::number(row);
    return field(row - 1, column - 1);
}

void CommentModel::setCell(int column, int row, const QString &text)
{
    if (column < 0 || row < 0 || column >= m_columns || row >= gridRows())
        return;
    if (row == 0) {
        while (m_headers.size() <= column)
            m_headers.append(QString());
        m_headers[column] = text;
        if (column > 0)
            emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
        return;
    }
    if (column == 0 || field(row - 1, column - 1) == text)
        return;
    // No cell can hold the separator.
    QString clean = text;
    clean.replace(kSep, QLatin1Char(' '));
    setField(row - 1, column - 1, clean);
    const QModelIndex at = index(row - 1, column - 1);
    emit dataChanged(at, at);
    emit edited();
}

void CommentModel::setGridRows(int rows)
{
    const int wanted = std::max(rows - 1, 0);
    const int have = int(m_rows.size());
    if (wanted > have) {
        beginInsertRows(QModelIndex(), have, wanted - 1);
        m_rows.resize(wanted);
        endInsertRows();
        emit edited();
    } else if (wanted < have) {
        beginRemoveRows(QModelIndex(), wanted, have - 1);
        m_rows.resize(wanted);
        endRemoveRows();
        emit edited();
    }
}

void CommentModel::setGridColumns(int columns)
{
    const int wanted = std::clamp(columns, kDesignColumns, kMaxColumns);
    if (wanted > m_columns) {
        beginInsertColumns(QModelIndex(), m_columns - 1, wanted - 2);
        m_columns = wanted;
        endInsertColumns();
    } else if (wanted < m_columns) {
        beginRemoveColumns(QModelIndex(), wanted - 1, m_columns - 2);
        m_columns = wanted;
        endRemoveColumns();
    }
}

void CommentModel::duplicateRow(int row)
{
    if (row < 1 || row >= gridRows())
        return;
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(row, m_rows.at(row - 1));
    endInsertRows();
    emit edited();
}

void CommentModel::removeGridRow(int row)
{
    if (row < 1 || row >= gridRows())
        return;
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_rows.removeAt(row - 1);
    endRemoveRows();
    emit edited();
}

void CommentModel::replaceRows(CommentFileContent &&content)
{
    QList<Row> rows;
    rows.reserve(content.rows.size());
    for (const CommentFileContent::Span &span : std::as_const(content.rows))
        rows.append({span.start, qint32(span.length), -1});
    content.rows = {};
    beginResetModel();
    m_text = std::move(content.text);
    m_own.clear();
    m_rows = std::move(rows);
    m_columns = std::clamp(content.columns, kDesignColumns, kMaxColumns);
    endResetModel();
}

void CommentModel::replaceRows(const QStringList &rows)
{
    beginResetModel();
    m_text.clear();
    m_own = rows;
    m_rows.clear();
    for (qsizetype i = 0; i < rows.size(); ++i)
        m_rows.append({0, 0, qint32(i)});
    endResetModel();
}

QList<CommentRow> CommentModel::commentRows() const
{
    QList<CommentRow> out;
    out.reserve(m_rows.size());
    for (qsizetype r = 0; r < m_rows.size(); ++r)
        out.append(commentRow(r));
    return out;
}

CommentRow CommentModel::commentRow(qsizetype r) const
{
    return CommentFile::rowFromText(rowText(int(r)));
}

int CommentModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CommentModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns - 1;
}

QVariant CommentModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return field(index.row(), index.column());
}

bool CommentModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    setCell(index.column() + 1, index.row() + 1, value.toString());
    return true;
}

QVariant CommentModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return m_headers.value(section + 1);
    return QString::number(section + 1);
}

Qt::ItemFlags CommentModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // Grid columns 2 (Number) and 3 (Comment): no key, Tab, click or delegate opens another.
    if (index.column() == 1 || index.column() == 2)
        f |= Qt::ItemIsEditable;
    return f;
}
