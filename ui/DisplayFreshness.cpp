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
    m_quiet.setInterval(kQuietTime);
    connect(&m_quiet, &QTimer::timeout, this, [this] { setStale(m_connected); });
}

void DisplayFreshness::connectionChanged(bool connected)
{
    m_connected = connected;
    setStale(false);
    // A connection that never brings a frame is as quiet as one whose frames stopped.
    if (connected)
        m_quiet.start();
    else
        m_quiet.stop();
}

void DisplayFreshness::frameTaken()
{
    setStale(false);
    if (m_connected)
        m_quiet.start();
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
    auto *status = m_ctx.element<QLabel>(QStringLiteral("Status"));
    if (!status || status->text() == m_stateText)
        return;
    m_stateText = status->text();
    if (announce)
        announce(status);
}
