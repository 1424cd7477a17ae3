#include "ui/HistoryControl.h"

#include "history/ChannelTrends.h"
#include "history/HistoryKey.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "link/CommPort.h"
#include "platform/widgets/ErrorGuard.h"
#include "tools/ChannelMonitor.h"
#include "ui/DisplayLines.h"
#include "ui/FormContext.h"
#include "ui/RecordControl.h"

#include <QAction>
#include <QMenu>

HistoryControl::HistoryControl(FormContext &ctx, DisplayLines &lines, ChannelMonitor &channels,
                               RecordControl &records, SettingsFile settings, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_channels(channels), m_settings(std::move(settings)),
      m_store(std::make_unique<HistoryStore>())
{
    m_recorder = new HistoryRecorder(*m_store, lines, this);
    m_recorder->clock = [this] { return m_ctx.link.frameTimeUs(); };
    m_recorder->bitMode = [this] { return m_ctx.link.BitMode(); };
    // A replay that starts, or seeks back, begins its own time line.
    connect(&records, &RecordControl::displayReset, m_recorder, &HistoryRecorder::restart);

    auto *file = m_ctx.form ? m_ctx.form->findChild<QMenu *>("File1") : nullptr;
    if (!file)
        return;
    QAction *before = nullptr;
    for (QAction *a : file->actions()) {
        if (a->objectName() == QLatin1String("N2"))
            before = a;
    }
    m_item = new QAction(tr("履歴(&H)…"), file);
    m_item->setObjectName("MenuFileHistory");
    m_item->setStatusTip(tr("表示の履歴（ビットの変化と8チャンネルの値）を表示します"));
    file->insertAction(before, m_item);
    connect(m_item, &QAction::triggered, this, guarded(this, &HistoryControl::showWindow));
}

HistoryControl::~HistoryControl()
{
    // The window goes first: it reads the store while it closes.
    delete m_window;
}

HistoryWindow &HistoryControl::window()
{
    if (!m_window) {
        m_window = new HistoryWindow(*m_recorder, m_settings, m_ctx.form);
        m_window->setFont(m_ctx.form ? m_ctx.form->font() : m_window->font());
        // While nothing feeds the display (no port open, no replay) the history's time stands
        // at what was last heard.
        m_window->setClock([this]() -> qint64 {
            const CommPort *port = m_ctx.link.port();
            if (port && (port->isOpen() || port->recordedTimeUs() >= 0))
                return m_ctx.link.frameTimeUs();
            return -1;
        });
        m_window->setTwelveBit([this] { return m_channels.twelveBitFormat(); });
        m_window->setComments([this](const HistoryKey &key, int bit) { return comment(key, bit); });
        connect(&m_channels, &ChannelMonitor::formatChanged, m_window,
                [this] { m_window->trends().viewport()->update(); });
    }
    return *m_window;
}

void HistoryControl::showWindow()
{
    window().showWindow();
}

QString HistoryControl::comment(const HistoryKey &key, int bit) const
{
    const CommentTables &c = m_ctx.comments;
    const qint64 index = key.commentIndex(bit);
    const bool in = key.kind == QLatin1String("IN");
    const bool out = key.kind == QLatin1String("OUT");
    auto at = [index](const auto &table) {
        return index >= 0 && index < qint64(table.size()) ? CommentTables::at(table, int(index))
                                                          : QString();
    };
    if (key.word)
        return in ? at(c.CommentWI) : out ? at(c.CommentWO) : QString();
    return in ? at(c.CommentBI) : out ? at(c.CommentBO) : QString();
}
