#include "history/HistoryWindow.h"

#include "history/BitTimeline.h"
#include "history/ChannelTrends.h"
#include "history/HistoryCsv.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"
#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/widgets/ErrorGuard.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

const QString HistoryWindow::kSection = QStringLiteral("HISTORY");

namespace
{

constexpr double kZoomStep = 0.5;

QPushButton *toolButton(QWidget *parent, const char *name, const QString &text, const QString &tip)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

} // namespace

HistoryWindow::HistoryWindow(HistoryRecorder &recorder, SettingsFile settings, QWidget *parent)
    : QWidget(parent, Qt::Window), m_recorder(recorder), m_settings(std::move(settings))
{
    setObjectName("HistoryWindow");
    setWindowTitle(tr("履歴 - QXモニター"));
    m_view = new HistoryView(recorder.store(), this);
    m_timeline = new BitTimeline(recorder.store(), *m_view);
    m_trends = new ChannelTrends(recorder.store(), *m_view);

    auto *tools = new QHBoxLayout;
    auto *zoomIn = toolButton(this, "HistoryZoomIn", tr("拡大(&I)"), tr("時間軸を拡大します"));
    auto *zoomOut = toolButton(this, "HistoryZoomOut", tr("縮小(&O)"), tr("時間軸を縮小します"));
    auto *fit =
        toolButton(this, "HistoryFit", tr("全体(&W)"), tr("保持している履歴全体を表示します"));
    auto *csv = toolButton(this, "HistoryCsv", tr("CSVに書き出す(&C)…"),
                           tr("表示している範囲をCSVファイルに書き出します"));
    auto *png = toolButton(this, "HistoryPng", tr("PNGで保存(&P)…"),
                           tr("このウィンドウをPNG画像として保存します"));
    tools->addWidget(zoomIn);
    tools->addWidget(zoomOut);
    tools->addWidget(fit);
    tools->addSpacing(12);
    tools->addWidget(csv);
    tools->addWidget(png);
    tools->addSpacing(12);
    tools->addWidget(new QLabel(tr("チャンネル:"), this));
    for (int c = 0; c < 8; ++c) {
        auto *box = new QCheckBox(QString::number(c), this);
        box->setObjectName(QStringLiteral("HistoryChannel%1").arg(c));
        box->setChecked(true);
        box->setToolTip(tr("チャンネル%1の曲線を表示します").arg(c));
        QPalette pal = box->palette();
        pal.setColor(QPalette::WindowText, ChannelTrends::channelColour(c));
        box->setPalette(pal);
        connect(box, &QCheckBox::toggled, this,
                [this, c](bool on) { m_view->setChannelShown(c, on); });
        tools->addWidget(box);
    }
    tools->addStretch(1);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("HistorySplitter");
    split->addWidget(m_timeline);
    split->addWidget(m_trends);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);

    m_reach = new QLabel(this);
    m_reach->setObjectName("HistoryReach");
    // Its text changes with every refresh; its size must not ask for a new layout each time.
    m_reach->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(tools);
    layout->addWidget(split, 1);
    layout->addWidget(m_reach);

    connect(zoomIn, &QPushButton::clicked, this,
            [this] { m_view->zoom(kZoomStep, (m_view->startUs() + m_view->endUs()) / 2); });
    connect(zoomOut, &QPushButton::clicked, this,
            [this] { m_view->zoom(1 / kZoomStep, (m_view->startUs() + m_view->endUs()) / 2); });
    connect(fit, &QPushButton::clicked, m_view, &HistoryView::fit);
    connect(csv, &QPushButton::clicked, this, guarded(this, &HistoryWindow::askCsv));
    connect(png, &QPushButton::clicked, this, guarded(this, &HistoryWindow::askPng));

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshPeriod);
    connect(&m_refresh, &QTimer::timeout, this, &HistoryWindow::refresh);
    connect(&recorder, &HistoryRecorder::added, this, &HistoryWindow::scheduleRefresh);
    connect(&recorder, &HistoryRecorder::cleared, this, &HistoryWindow::refresh);
    resize(960, 640);
    refresh();
}

HistoryWindow::~HistoryWindow()
{
    if (isVisible())
        saveGeometryToSettings();
}

void HistoryWindow::setComments(std::function<QString(const HistoryKey &, int)> comment)
{
    m_timeline->comment = std::move(comment);
    m_timeline->viewport()->update();
}

void HistoryWindow::setTwelveBit(std::function<bool()> twelveBit)
{
    m_view->twelveBit = std::move(twelveBit);
    m_trends->viewport()->update();
}

void HistoryWindow::setClock(std::function<qint64()> now)
{
    m_view->now = std::move(now);
}

void HistoryWindow::scheduleRefresh()
{
    if (isVisible() && !m_refresh.isActive())
        m_refresh.start();
}

void HistoryWindow::refresh()
{
    m_reach->setText(reachText());
    if (!isVisible())
        return;
    m_timeline->updateRows();
    m_trends->updateRows();
}

QString HistoryWindow::reachText() const
{
    const HistoryStore &s = m_recorder.store();
    const QLocale c = QLocale(QLocale::Japanese, QLocale::Japan);
    if (s.size() == 0 && s.spans().empty())
        return tr("履歴はまだありません（上限 %1 件の変化）").arg(c.toString(qlonglong(s.limit())));
    QString text = tr("%1 件の変化を保持（上限 %2 件）、%3 から")
                       .arg(c.toString(qlonglong(s.size())), c.toString(qlonglong(s.limit())),
                            TimePlot::clockText(s.reachUs()));
    if (s.dropped() > 0)
        text += tr("。それより古い %1 件は捨てました").arg(c.toString(qulonglong(s.dropped())));
    return text;
}

void HistoryWindow::exportCsv(const QString &path) const
{
    HistoryCsv::write(path, m_recorder.store(), m_view->startUs(), m_view->endUs(),
                      m_view->twelveBit && m_view->twelveBit());
}

void HistoryWindow::exportPng(const QString &path)
{
    if (!grab().save(path, "PNG"))
        throw EFCreateError(tr("ファイル %1 を作成できません").arg(path));
}

void HistoryWindow::askCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("履歴の書き出し先"),
                                     QDir(m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder)
                                         .filePath(QStringLiteral("history.csv")),
                                     tr("CSV (*.csv);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    m_lastFolder = QFileInfo(path).absolutePath();
    exportCsv(path);
}

void HistoryWindow::askPng()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("画像の保存先"),
                                     QDir(m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder)
                                         .filePath(QStringLiteral("history.png")),
                                     tr("PNG画像 (*.png);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    m_lastFolder = QFileInfo(path).absolutePath();
    exportPng(path);
}

void HistoryWindow::showWindow()
{
    if (!m_placed) {
        restoreGeometryFromSettings();
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
    refresh();
}

void HistoryWindow::closeEvent(QCloseEvent *event)
{
    saveGeometryToSettings();
    QWidget::closeEvent(event);
}

void HistoryWindow::restoreGeometryFromSettings()
{
    const ProfileFile ini(m_settings.path());
    const int width = ini.readInt(kSection, QStringLiteral("Width"), 0);
    const int height = ini.readInt(kSection, QStringLiteral("Height"), 0);
    if (width >= 200 && height >= 150 && width <= 20000 && height <= 20000)
        resize(width, height);
    const int left = ini.readInt(kSection, QStringLiteral("Left"), INT_MIN);
    const int top = ini.readInt(kSection, QStringLiteral("Top"), INT_MIN);
    if (left != INT_MIN && top != INT_MIN)
        move(left, top);
}

void HistoryWindow::saveGeometryToSettings()
{
    // Where the window stood is a convenience: a settings file that cannot take it costs the
    // place at the next start, nothing more, so it is not worth an error box on closing.
    m_settings.write({{kSection, QStringLiteral("Left"), QString::number(x())},
                      {kSection, QStringLiteral("Top"), QString::number(y())},
                      {kSection, QStringLiteral("Width"), QString::number(width())},
                      {kSection, QStringLiteral("Height"), QString::number(height())}});
}
