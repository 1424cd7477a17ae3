#include "comments/CommentGrid.h"

#include "comments/CommentCellDelegate.h"
#include "comments/CommentModel.h"
#include "comments/CommentText.h"
#include "link/DisplayLineTexts.h"

#include "platform/widgets/ErrorGuard.h"

#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QToolTip>
#include <memory>

namespace
{

constexpr int kFixedSize = 30;
constexpr int kRowHeight = 16;
constexpr int kDefaultColWidth = 64;
constexpr int kDesignColumns = 4;
constexpr int kDesignWidths[kDesignColumns] = {30, 30, 30, 100};

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
      }),
      m_question([this](const QString &text, const QStringList &buttons) {
          QMessageBox box(QMessageBox::Question, tr("確認"), text, QMessageBox::NoButton, m_window);
          QList<QAbstractButton *> made;
          for (int i = 0; i < buttons.size(); ++i) {
              const bool last = i == buttons.size() - 1;
              made.append(box.addButton(buttons.at(i),
                                        last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
          }
          if (!made.isEmpty())
              box.setDefaultButton(qobject_cast<QPushButton *>(made.constFirst()));
          box.exec();
          return int(made.indexOf(box.clickedButton()));
      }),
      m_editorNotice([](QWidget *editor, const QString &text) {
          QToolTip::showText(editor->mapToGlobal(QPoint(0, editor->height())), text, editor);
      })
{
    m_model = new CommentModel(this);
    connect(m_model, &CommentModel::edited, this, [this] { m_modified = true; });
    m_grid = new QTableView(client);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setModel(m_model);
    m_grid->setGeometry(688, 40, 217, 617);
    m_grid->setToolTip(tr("右クリックでポップアップメニュー"));
    m_grid->setItemDelegate(new CommentCellDelegate(this, m_grid));
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setCornerButtonEnabled(false);
    m_grid->setWordWrap(false);
    m_grid->installEventFilter(this);
    m_corner = m_grid->findChild<QAbstractButton *>();
    if (m_corner)
        m_corner->installEventFilter(this);

    m_editDone = new QPushButton(tr("編集結果を反映"), client);
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
    addItem("N6", tr("行挿入(&I)"), QKeySequence(Qt::Key_Insert), &CommentGrid::N6Click);
    addItem("N7", tr("行削除(&D)"), QKeySequence(Qt::Key_Delete), &CommentGrid::N7Click);
    addItem("N8", tr("行追加(&A)"), QKeySequence(), &CommentGrid::N8Click);
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

    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                StringGrid1SelectCell(current.column() + 1, current.row() + 1);
            });

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

    m_model->setGridColumns(kDesignColumns);
    m_model->setGridRows(2);
    setDesignWidths();
    setCell(0, 0, QStringLiteral("No"));
    setCell(1, 0, QStringLiteral("Type"));
    setCell(2, 0, tr("番号"));
    setCell(3, 0, tr("コメント"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setCurrentIndex(m_model->index(0, 0));
    m_modified = false;
}

void CommentGrid::setDesignWidths()
{
    for (int c = 1; c < kDesignColumns; ++c)
        m_grid->setColumnWidth(c - 1, kDesignWidths[c]);
}

QString CommentGrid::cell(int column, int row) const
{
    return m_model->cell(column, row);
}

void CommentGrid::setCell(int column, int row, const QString &text)
{
    m_model->setCell(column, row, text);
    if (column == 0 && row == 0 && m_corner)
        m_corner->update();
}

int CommentGrid::rowCount() const
{
    return m_model->gridRows();
}

int CommentGrid::colCount() const
{
    return m_model->gridColumns();
}

void CommentGrid::selectCell(int column, int row)
{
    m_grid->setCurrentIndex(m_model->index(row - 1, column - 1));
}

int CommentGrid::selectedRow() const
{
    if (rowCount() < 2)
        return 0;
    const int current = m_grid->currentIndex().row();
    return current < 0 ? 1 : current + 1;
}

QList<CommentRow> CommentGrid::rows() const
{
    return m_model->commentRows();
}

QString CommentGrid::io1Text() const
{
    return m_lines.kind(0);
}

void CommentGrid::noticeEditor(QWidget *editor, const QString &text) const
{
    if (m_editorNotice)
        m_editorNotice(editor, text);
}

void CommentGrid::SaveCommentFile(const QString &path)
{
    // Refused before anything is written: a character Shift-JIS cannot carry.
    const QByteArray bytes =
        CommentFile::format(rowCount() - 1, [this](qsizetype r) { return m_model->commentRow(r); });
    if (!m_lossNotice.isEmpty() && path == m_fileName) {
        const int answer =
            m_question(tr("%1 を読み込んだときの警告:\n%2\n保存するとファイルのこの部分は変わり"
                          "ます。保存しますか?")
                           .arg(path, m_lossNotice),
                       {tr("保存する"), tr("キャンセル")});
        if (answer != 0)
            return;
    }
    CommentFile::write(path, bytes);
    saved();
}

void CommentGrid::saved()
{
    m_modified = false;
    m_lossNotice.clear();
    // Whatever a signal kept is older than what was just written.
    if (const QString kept = recoveryPath(); !kept.isEmpty())
        QFile::remove(kept);
}

void CommentGrid::RebuildCommentTables()
{
    CommentFile::compile(
        rowCount() - 1, [this](qsizetype r) { return m_model->commentRow(r); }, m_tables);
}

bool CommentGrid::mayReplaceGrid()
{
    // A load in progress is given up: the grid it would replace is the one in question.
    if (m_loading)
        cancelLoad();
    if (!m_modified)
        return true;
    const QString name = m_fileName.isEmpty() ? tr("(無題)") : m_fileName;
    const int answer =
        m_question(tr("コメント %1 の変更は保存されていません。保存しますか?").arg(name),
                   {tr("保存する"), tr("保存しない"), tr("キャンセル")});
    if (answer == 1) {
        m_modified = false;
        return true;
    }
    if (answer != 0)
        return false;
    if (m_save->isEnabled() && !m_fileName.isEmpty())
        Save1Click();
    else
        SaveAs1Click();
    return !m_modified;
}

QString CommentGrid::recoveryPath() const
{
    if (!m_fileName.isEmpty())
        return m_fileName + QStringLiteral(".recovery.csv");
    if (m_recoveryFolder.isEmpty())
        return QString();
    return m_recoveryFolder + QStringLiteral("/qxwatch-unsaved.csv");
}

QString CommentGrid::keepForRecovery()
{
    if (m_loading)
        cancelLoad();
    const QString path = recoveryPath();
    if (!m_modified || path.isEmpty())
        return QString();
    // Kept as the file would be written; a character that cannot be written becomes "?", since
    // there is nobody left to ask.
    QList<CommentRow> grid = rows();
    for (CommentRow &row : grid) {
        for (QString *text : {&row.type, &row.number, &row.comment}) {
            *text = CommentText::mapLookAlikes(*text);
            for (qsizetype i; (i = CommentText::firstUnencodable(*text, true)) >= 0;)
                text->replace(i, text->at(i).isHighSurrogate() ? 2 : 1, QLatin1Char('?'));
        }
    }
    if (!writeFileAtomically(path, CommentFile::format(grid)))
        return QString();
    m_modified = false;
    return path;
}

void CommentGrid::offerRecovery(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    const int answer =
        m_question(tr("前回の終了時に保存されなかったコメントの変更が %1 に残っています。"
                      "読み込みますか?")
                       .arg(path),
                   {tr("読み込む"), tr("破棄する")});
    if (answer == 0) {
        CommentFileContent content;
        std::unique_ptr<CommentTables> tables;
        QString convertMessage;
        QString convertDetail;
        if (!readContent(path, content, tables, convertMessage, convertDetail))
            return;
        m_model->replaceRows(std::move(content));
        setDesignWidths();
        // The edits are the grid's now, still unsaved: the file they belong to is unchanged.
        m_modified = true;
        m_saveAs->setEnabled(true);
        QFile::remove(path);
        RebuildCommentTables();
    } else if (answer == 1) {
        QFile::remove(path);
    }
}

void CommentGrid::New1Click()
{
    if (m_loading || !mayReplaceGrid())
        return;
    static const char *const kTypes[] = {"BI", "BO", "WI", "WO"};
    QStringList fresh;
    for (const char *type : kTypes)
        fresh.append(QLatin1String(type) + QChar(0) + QLatin1Char('0') + QChar(0) +
                     QLatin1Char(' '));
    m_model->replaceRows(fresh);
    setDesignWidths();
    m_modified = false;
    m_lossNotice.clear();
    m_saveAs->setEnabled(true);
}

void CommentGrid::Open1Click()
{
    if (m_loading || !mayReplaceGrid())
        return;
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
    qint64 number = 0;
    try {
        number = StrToInt(cell(2, selected));
    } catch (const EConvertError &e) {
        throw EConvertError(e.message(), tr("コメント表の %1 行目の番号です").arg(selected));
    }
    m_model->duplicateRow(selected);
    setCell(2, selected + 1, QString::number(number + 1));
}

void CommentGrid::N7Click()
{
    const int selected = selectedRow();
    if (selected < 1)
        return;
    m_model->removeGridRow(selected);
}

void CommentGrid::N8Click()
{
    const int last = rowCount() - 1;
    // With no data row left there is nothing to copy: the header texts are no data.
    if (last >= 1)
        m_model->duplicateRow(last);
    else
        m_model->setGridRows(2);
}

void CommentGrid::btnEditDoneClick()
{
    const QString io1 = io1Text();
    if (cell(1, 1).isEmpty() || io1.isEmpty() || io1.startsWith(u' ')) {
        m_messageBox(tr("コメントがセットされていません"), tr("エラー"));
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
        m_openDialog->setNameFilters({tr("CSVファイル (*.csv)"), tr("すべてのファイル (*)")});
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
        m_saveDialog->setNameFilters({tr("CSVファイル (*.csv)"), tr("すべてのファイル (*)")});
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
        option.text = m_model->cell(0, 0);
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
