#include "comments/CommentGrid.h"

#include "link/DisplayLineTexts.h"

#include "platform/widgets/ErrorGuard.h"

#include "platform/Exceptions.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <algorithm>

namespace
{

constexpr int kFixedSize = 30;
constexpr int kRowHeight = 16;
constexpr int kDefaultColWidth = 64;
constexpr int kDesignColumns = 4;
constexpr int kDesignWidths[kDesignColumns] = {30, 30, 30, 100};
const QString kIdleIo1 = QStringLiteral("--");

// Line ends, NUL and Ctrl-Z cannot stand inside a line of the comment file (they end the line,
// the field or the file), so a pasted comment gets a blank for each of them.
class CommentCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        auto *line = qobject_cast<QLineEdit *>(editor);
        if (!line) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        QString text = line->text();
        for (QChar &c : text) {
            if (c == u'\r' || c == u'\n' || c == u'\0' || c == QChar(0x1A))
                c = u' ';
        }
        model->setData(index, text, Qt::EditRole);
    }
};

} // namespace

CommentGrid::CommentGrid(QWidget *client, QWidget *window, CommentTables &tables,
                         const DisplayLineTexts &lines, std::function<void()> refreshCommentLines,
                         QObject *parent)
    : QObject(parent), m_window(window), m_tables(tables), m_lines(lines),
      m_refresh(std::move(refreshCommentLines)), m_prompt([](QFileDialog &dialog) {
          if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
              return QString();
          return dialog.selectedFiles().constFirst();
      }),
      m_messageBox([this](const QString &text, const QString &caption) {
          QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_window);
          box.exec();
      })
{
    m_grid = new QTableWidget(client);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setGeometry(688, 40, 217, 617);
    m_grid->setToolTip(QStringLiteral("右クリックでポップアップメニュー"));
    m_grid->setItemDelegate(new CommentCellDelegate(m_grid));
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setCornerButtonEnabled(false);
    m_grid->installEventFilter(this);
    m_corner = m_grid->findChild<QAbstractButton *>();
    if (m_corner)
        m_corner->installEventFilter(this);

    m_editDone = new QPushButton(QStringLiteral("編集結果を反映"), client);
    m_editDone->setObjectName(QStringLiteral("btnEditDone"));
    m_editDone->setGeometry(800, 0, 105, 21);
    connect(m_editDone, &QPushButton::clicked, this, guarded(this, &CommentGrid::btnEditDoneClick));

    m_popup = new QMenu(m_grid);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    auto addItem = [this](const char *name, const QString &caption, const QKeySequence &key,
                          void (CommentGrid::*handler)()) {
        QAction *action = m_popup->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        // The keys reach the commands through the grid (eventFilter), ahead of the main
        // menu's own Del, only while the grid has the focus.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, guarded(this, handler));
    };
    addItem("N6", QStringLiteral("行挿入(&I)"), QKeySequence(Qt::Key_Insert),
            &CommentGrid::N6Click);
    addItem("N7", QStringLiteral("行削除(&D)"), QKeySequence(Qt::Key_Delete),
            &CommentGrid::N7Click);
    addItem("N8", QStringLiteral("行追加(&A)"), QKeySequence(), &CommentGrid::N8Click);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_popup->popup(m_grid->viewport()->mapToGlobal(pos)); });

    m_new = menuAction("New1");
    m_open = menuAction("Open1");
    m_save = menuAction("Save1");
    m_saveAs = menuAction("SaveAs1");
    m_new->setEnabled(true);
    m_open->setEnabled(true);
    m_save->setEnabled(false);
    m_saveAs->setEnabled(false);
    connect(m_new, &QAction::triggered, this, guarded(this, &CommentGrid::New1Click));
    connect(m_open, &QAction::triggered, this, guarded(this, &CommentGrid::Open1Click));
    connect(m_save, &QAction::triggered, this, guarded(this, &CommentGrid::Save1Click));
    connect(m_saveAs, &QAction::triggered, this, guarded(this, &CommentGrid::SaveAs1Click));

    connect(m_grid, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { StringGrid1SelectCell(column + 1, row + 1); });

    setupGrid();
}

QAction *CommentGrid::menuAction(const char *name)
{
    QObject *owner = m_window ? static_cast<QObject *>(m_window) : this;
    if (auto *action = owner->findChild<QAction *>(QLatin1String(name)))
        return action;
    auto *action = new QAction(owner);
    action->setObjectName(QLatin1String(name));
    return action;
}

void CommentGrid::setupGrid()
{
    QHeaderView *top = m_grid->horizontalHeader();
    QHeaderView *side = m_grid->verticalHeader();
    for (QHeaderView *header : {top, side}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        header->setHighlightSections(false);
    }
    top->setDefaultSectionSize(kDefaultColWidth);
    top->setFixedHeight(kRowHeight);
    side->setDefaultSectionSize(kRowHeight);
    side->setFixedWidth(kFixedSize);

    setColCount(kDesignColumns);
    setRowCount(2);
    for (int c = 1; c < kDesignColumns; ++c)
        m_grid->setColumnWidth(c - 1, kDesignWidths[c]);
    setCell(0, 0, QStringLiteral("No"));
    setCell(1, 0, QStringLiteral("Type"));
    setCell(2, 0, QStringLiteral("番号"));
    setCell(3, 0, QStringLiteral("コメント"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setCurrentCell(0, 0);
}

QString CommentGrid::cell(int column, int row) const
{
    if (column < 0 || row < 0 || column >= colCount() || row >= rowCount())
        return QString();
    if (column == 0 && row == 0)
        return m_cornerText;
    const QTableWidgetItem *item = row == 0      ? m_grid->horizontalHeaderItem(column - 1)
                                   : column == 0 ? m_grid->verticalHeaderItem(row - 1)
                                                 : m_grid->item(row - 1, column - 1);
    return item ? item->text() : QString();
}

void CommentGrid::setCell(int column, int row, const QString &text)
{
    if (column < 0 || row < 0 || column >= colCount() || row >= rowCount())
        return;
    if (column == 0 && row == 0) {
        m_cornerText = text;
        if (m_corner)
            m_corner->update();
        return;
    }
    if (row == 0) {
        m_grid->setHorizontalHeaderItem(column - 1, new QTableWidgetItem(text));
    } else if (column == 0) {
        m_grid->setVerticalHeaderItem(row - 1, new QTableWidgetItem(text));
    } else if (QTableWidgetItem *item = m_grid->item(row - 1, column - 1)) {
        item->setText(text);
    } else {
        m_grid->setItem(row - 1, column - 1, new QTableWidgetItem(text));
    }
}

int CommentGrid::rowCount() const
{
    return m_grid->rowCount() + 1;
}

int CommentGrid::colCount() const
{
    return m_grid->columnCount() + 1;
}

void CommentGrid::setRowCount(int rows)
{
    const int before = m_grid->rowCount();
    m_grid->setRowCount(std::max(rows - 1, 0));
    // A new row shows an empty row number until it is numbered, as every other new cell.
    for (int r = before; r < m_grid->rowCount(); ++r)
        m_grid->setVerticalHeaderItem(r, new QTableWidgetItem());
}

void CommentGrid::setColCount(int columns)
{
    const int before = m_grid->columnCount();
    m_grid->setColumnCount(std::max(columns - 1, 0));
    for (int c = before; c < m_grid->columnCount(); ++c) {
        m_grid->setHorizontalHeaderItem(c, new QTableWidgetItem());
        m_grid->setColumnWidth(c, kDefaultColWidth);
    }
}

void CommentGrid::renumber()
{
    for (int r = 1; r < rowCount(); ++r)
        setCell(0, r, QString::number(r));
}

void CommentGrid::copyRow(int from, int to)
{
    for (int c = 1; c < colCount(); ++c)
        setCell(c, to, cell(c, from));
}

int CommentGrid::selectedRow() const
{
    if (rowCount() < 2)
        return 0;
    const int current = m_grid->currentRow();
    return current < 0 ? 1 : current + 1;
}

QList<CommentRow> CommentGrid::rows() const
{
    QList<CommentRow> out;
    out.reserve(rowCount() - 1);
    for (int r = 1; r < rowCount(); ++r)
        out.append({cell(1, r), cell(2, r), cell(3, r)});
    return out;
}

QString CommentGrid::io1Text() const
{
    return m_lines.kind(0);
}

void CommentGrid::LoadCommentFile(const QString &path)
{
    load(path, true);
}

void CommentGrid::loadCommandLineFile(const QStringList &arguments)
{
    if (!arguments.isEmpty())
        load(arguments.constFirst(), false);
}

void CommentGrid::load(const QString &path, bool refresh)
{
    setRowCount(2);
    setColCount(kDesignColumns);
    m_fileName = path;
    const QList<QStringList> lines = CommentFile::parse(CommentFile::read(path));

    int columns = kDesignColumns;
    for (const QStringList &fields : lines)
        columns = std::max(columns, int(fields.size()));
    setColCount(columns);
    // A file without lines is an empty grid, which is what saving an empty grid writes.
    setRowCount(int(lines.size()) + 1);
    for (int n = 1; n <= lines.size(); ++n) {
        const QStringList &fields = lines.at(n - 1);
        // Cells right of a short line's last field are emptied, so that an empty comment at
        // the end of a line reads back as empty.
        for (int c = 1; c < columns; ++c)
            setCell(c, n, c < fields.size() ? fields.at(c) : QString());
        setCell(0, n, QString::number(n));
    }
    for (int c = 1; c < kDesignColumns; ++c)
        m_grid->setColumnWidth(c - 1, kDesignWidths[c]);

    m_save->setEnabled(true);
    m_saveAs->setEnabled(true);
    RebuildCommentTables();
    if (refresh && io1Text() != kIdleIo1 && m_refresh)
        m_refresh();
}

void CommentGrid::SaveCommentFile(const QString &path)
{
    CommentFile::write(path, CommentFile::format(rows()));
}

void CommentGrid::RebuildCommentTables()
{
    CommentFile::compile(rows(), m_tables);
}

void CommentGrid::New1Click()
{
    static const char *const kTypes[] = {"BI", "BO", "WI", "WO"};
    setRowCount(5);
    for (int r = 1; r <= 4; ++r) {
        setCell(0, r, QString::number(r));
        setCell(1, r, QLatin1String(kTypes[r - 1]));
        setCell(2, r, QStringLiteral("0"));
        setCell(3, r, QStringLiteral(" "));
    }
    m_saveAs->setEnabled(true);
}

void CommentGrid::Open1Click()
{
    const QString path = m_prompt(*openDialog());
    if (!path.isEmpty())
        LoadCommentFile(path);
}

void CommentGrid::Save1Click()
{
    SaveCommentFile(m_fileName);
}

void CommentGrid::SaveAs1Click()
{
    const QString path = m_prompt(*saveDialog());
    if (path.isEmpty())
        return;
    m_fileName = path;
    SaveCommentFile(path);
    m_save->setEnabled(true);
}

void CommentGrid::N6Click()
{
    const int selected = selectedRow();
    if (selected < 1)
        return;
    // Read before any row moves, so a bad Number leaves the grid as it was.
    const qint64 number = StrToInt(cell(2, selected));
    m_grid->insertRow(selected);
    m_grid->setVerticalHeaderItem(selected, new QTableWidgetItem());
    copyRow(selected, selected + 1);
    setCell(2, selected + 1, QString::number(number + 1));
    renumber();
}

void CommentGrid::N7Click()
{
    const int selected = selectedRow();
    if (selected < 1)
        return;
    m_grid->removeRow(selected - 1);
    renumber();
}

void CommentGrid::N8Click()
{
    const int last = rowCount() - 1;
    setRowCount(last + 2);
    // With no data row left there is nothing to copy: the header texts are no data.
    if (last >= 1)
        copyRow(last, last + 1);
    renumber();
}

void CommentGrid::btnEditDoneClick()
{
    const QString io1 = io1Text();
    if (cell(1, 1).isEmpty() || io1.isEmpty() || io1.startsWith(u' ')) {
        m_messageBox(QStringLiteral("コメントがセットされていません"), QStringLiteral("エラー"));
        return;
    }
    RebuildCommentTables();
    if (m_refresh)
        m_refresh();
}

void CommentGrid::StringGrid1SelectCell(int column, int)
{
    if (column == 2 || column == 3) {
        m_grid->setEditTriggers(
            QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    } else {
        m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
}

QFileDialog *CommentGrid::openDialog()
{
    if (!m_openDialog) {
        m_openDialog = new QFileDialog(m_window);
        m_openDialog->setObjectName(QStringLiteral("OpenDialog1"));
        m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_openDialog->setFileMode(QFileDialog::ExistingFile);
        m_openDialog->setNameFilters(
            {QStringLiteral("CSVファイル (*.csv)"), QStringLiteral("すべてのファイル (*)")});
        m_openDialog->setDefaultSuffix(QStringLiteral("cmt"));
    }
    return m_openDialog;
}

QFileDialog *CommentGrid::saveDialog()
{
    if (!m_saveDialog) {
        m_saveDialog = new QFileDialog(m_window);
        m_saveDialog->setObjectName(QStringLiteral("SaveDialog1"));
        m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        m_saveDialog->setFileMode(QFileDialog::AnyFile);
        m_saveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
        m_saveDialog->setNameFilters(
            {QStringLiteral("CSVファイル (*.csv)"), QStringLiteral("すべてのファイル (*)")});
        m_saveDialog->setDefaultSuffix(QStringLiteral("csv"));
    }
    return m_saveDialog;
}

bool CommentGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_corner && event->type() == QEvent::Paint) {
        QStyleOptionHeader option;
        option.initFrom(m_corner);
        option.rect = m_corner->rect();
        option.text = m_cornerText;
        option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option.position = QStyleOptionHeader::OnlyOneSection;
        QPainter painter(m_corner);
        m_corner->style()->drawControl(QStyle::CE_Header, &option, &painter, m_corner);
        return true;
    }
    if (watched == m_grid &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool rowKey = key->modifiers() == Qt::NoModifier &&
                            (key->key() == Qt::Key_Insert || key->key() == Qt::Key_Delete);
        if (!rowKey)
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        runGuarded([&] {
            if (key->key() == Qt::Key_Insert)
                N6Click();
            else
                N7Click();
        });
        return true;
    }
    return QObject::eventFilter(watched, event);
}
