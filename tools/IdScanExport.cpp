#include "tools/IdScanExport.h"

#include "platform/Exceptions.h"
#include "platform/widgets/ErrorGuard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSaveFile>
#include <QTableWidget>

namespace
{

constexpr const char *kCounters[][2] = {
    {"BILabel", "BICnt"},   {"BOLabel", "BOCnt"}, {"WILabel", "WICnt"},      {"WOLabel", "WOCnt"},
    {"LMLabel", "LumoCnt"}, {"UWLabel", "UWCnt"}, {"TotalLabel", "TotalCnt"}};

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString cell(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

IdScanExport::IdScanExport(QWidget *idPanel, QObject *parent) : QObject(parent), m_panel(idPanel)
{
    m_grid = idPanel ? idPanel->findChild<QTableWidget *>("IDStringGrid") : nullptr;
    if (!m_grid)
        return;
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this, &IdScanExport::showMenu);
    auto *copy = new QAction(tr("コピー(&C)"), m_grid);
    copy->setObjectName("IDGridCopy");
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &IdScanExport::copySelection);
    m_grid->addAction(copy);
}

QString IdScanExport::csvText() const
{
    if (!m_grid)
        return QString();
    QString out = QStringLiteral("ID,Type,Adrs,状態\r\n");
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        QStringList fields;
        bool any = false;
        for (int c = 0; c < 4; ++c) {
            fields << csvField(cell(m_grid, r, c));
            any = any || !fields.last().isEmpty();
        }
        if (any)
            out += fields.join(u',') + QStringLiteral("\r\n");
    }
    out += QStringLiteral("\r\n");
    for (const auto &[labelName, counterName] : kCounters) {
        const auto *label = m_panel->findChild<QLabel *>(QLatin1String(labelName));
        const auto *counter = m_panel->findChild<QLineEdit *>(QLatin1String(counterName));
        if (label && counter && !counter->isHidden())
            out +=
                csvField(label->text()) + u',' + csvField(counter->text()) + QStringLiteral("\r\n");
    }
    return out;
}

QString IdScanExport::selectionText() const
{
    if (!m_grid)
        return QString();
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    if (ranges.isEmpty())
        return QString();
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    for (const QTableWidgetSelectionRange &r : ranges) {
        top = std::min(top, r.topRow());
        bottom = std::max(bottom, r.bottomRow());
        left = std::min(left, r.leftColumn());
        right = std::max(right, r.rightColumn());
    }
    QString out;
    for (int r = top; r <= bottom; ++r) {
        QStringList fields;
        for (int c = left; c <= right; ++c) {
            const QTableWidgetItem *item = m_grid->item(r, c);
            fields << (item && item->isSelected() ? item->text() : QString());
        }
        out += fields.join(u'\t') + u'\n';
    }
    return out;
}

void IdScanExport::saveCsv(const QString &path) const
{
    const QByteArray bytes = "\xEF\xBB\xBF" + csvText().toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EFCreateError(tr("ファイル %1 を作成できません").arg(path), file.errorString());
}

void IdScanExport::copySelection() const
{
    const QString text = selectionText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void IdScanExport::saveTriggered()
{
    const QString path =
        QFileDialog::getSaveFileName(m_grid->window(), tr("IDスキャン結果の保存先"),
                                     QDir::home().filePath(QStringLiteral("idscan.csv")),
                                     tr("CSV (*.csv);;すべてのファイル (*)"));
    if (!path.isEmpty())
        saveCsv(path);
}

void IdScanExport::showMenu(const QPoint &at)
{
    QMenu menu(m_grid);
    menu.addAction(tr("CSVに保存(&S)…"), this, guarded(this, &IdScanExport::saveTriggered));
    QAction *copy = menu.addAction(tr("コピー(&C)"), this, &IdScanExport::copySelection);
    copy->setEnabled(!m_grid->selectedRanges().isEmpty());
    menu.exec(m_grid->viewport()->mapToGlobal(at));
}
