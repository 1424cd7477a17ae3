#include "ui/DisplayFreshness.h"

#include "ui/FormContext.h"

#include <QAccessible>
#include <QLabel>
#include <QStatusBar>

const QString DisplayFreshness::kNotice = QString::fromUtf8(QT_TRANSLATE_NOOP(
    "DisplayFreshness", "ユニットからの表示が届いていません（表示は最後に受け取ったままです）"));

DisplayFreshness::DisplayFreshness(FormContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx)
{
    announce = [](QObject *element) {
        QAccessibleEvent event(element, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    };
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &DisplayFreshness::quietTimeUp);
}

void DisplayFreshness::watchFromNow()
{
    m_sinceFrame.start();
    m_quiet.start(kQuietTime);
}

void DisplayFreshness::quietTimeUp()
{
    // The timer runs from the first frame of a period, not the last: dozens of frames a second
    // would otherwise restart it dozens of times a second. It looks again for what is left.
    const auto since = std::chrono::milliseconds(m_sinceFrame.elapsed());
    if (m_connected && since < kQuietTime) {
        m_quiet.start(kQuietTime - since);
        return;
    }
    setStale(m_connected);
}

void DisplayFreshness::connectionChanged(bool connected)
{
    m_connected = connected;
    setStale(false);
    // A connection that never brings a frame is as quiet as one whose frames stopped.
    if (connected)
        watchFromNow();
    else
        m_quiet.stop();
}

void DisplayFreshness::frameTaken()
{
    setStale(false);
    if (m_connected) {
        m_sinceFrame.start();
        if (!m_quiet.isActive())
            m_quiet.start(kQuietTime);
    }
    announceStateText();
}

void DisplayFreshness::setStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    // The line boxes keep their fixed white background; only their text greys.
    const QColor ink = stale ? QColor(128, 128, 128) : QColor(Qt::black);
    for (int n = 1; n <= 4; ++n) {
        for (const char *prefix : {"IO", "Addr", "Data"}) {
            if (auto *box = m_ctx.element<QLabel>(QLatin1String(prefix) + QString::number(n))) {
                QPalette pal = box->palette();
                pal.setColor(QPalette::WindowText, ink);
                box->setPalette(pal);
            }
        }
    }
    // Nothing is being received: "Receiving" goes until the next frame shows it again.
    if (auto *indicator = m_ctx.element<QWidget>(QStringLiteral("RecIndicator"));
        indicator && stale)
        indicator->hide();
    if (!m_ctx.statusBar)
        return;
    if (stale)
        m_ctx.statusBar->showMessage(tr(kNotice.toUtf8().constData()));
    else if (m_ctx.statusBar->currentMessage() == tr(kNotice.toUtf8().constData()))
        m_ctx.statusBar->clearMessage();
}

void DisplayFreshness::announceStateText()
{
    // Looked up once: this runs for every frame.
    if (!m_status)
        m_status = m_ctx.element<QLabel>(QStringLiteral("Status"));
    QLabel *status = m_status;
    if (!status || status->text() == m_stateText)
        return;
    m_stateText = status->text();
    if (announce)
        announce(status);
}
