#include "history/HistoryView.h"

#include "history/HistoryStore.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

HistoryView::HistoryView(const HistoryStore &store, QObject *parent)
    : QObject(parent), m_store(store)
{
    now = [] { return QDateTime::currentMSecsSinceEpoch() * 1000; };
    twelveBit = [] { return false; };
}

qint64 HistoryView::heardUntilUs() const
{
    const qint64 last = m_store.lastFrameUs();
    if (last < 0)
        return -1;
    const qint64 t = now ? now() : -1;
    return t >= last && t - last <= HistoryStore::kGapUs ? t : last;
}

qint64 HistoryView::liveEndUs() const
{
    const qint64 t = now ? now() : -1;
    const qint64 end = std::max({m_store.latestUs(), heardUntilUs(), t});
    return end >= 0 ? end : 0;
}

qint64 HistoryView::startUs() const
{
    switch (m_mode) {
    case Mode::Fit: {
        // Nothing held yet: the last ten seconds; very little: a millisecond at least.
        const qint64 end = liveEndUs();
        const qint64 reach = m_store.reachUs();
        if (reach < 0)
            return end - 10'000'000;
        return std::min(reach, end - 1000);
    }
    case Mode::Follow:
        return liveEndUs() - m_width;
    case Mode::Fixed:
        break;
    }
    return m_start;
}

qint64 HistoryView::endUs() const
{
    return m_mode == Mode::Fixed ? m_end : liveEndUs();
}

void HistoryView::fit()
{
    m_mode = Mode::Fit;
    emit changed();
}

void HistoryView::settle(qint64 start, qint64 end)
{
    const qint64 live = liveEndUs();
    m_width = std::clamp(end - start, kMinWidthUs, kMaxWidthUs);
    if (end >= live) {
        m_mode = Mode::Follow;
    } else {
        m_mode = Mode::Fixed;
        m_start = start;
        m_end = start + m_width;
    }
    emit changed();
}

void HistoryView::zoom(double factor, qint64 anchorUs)
{
    const qint64 start = startUs();
    const qint64 end = endUs();
    const double width = double(end - start);
    const double newWidth = std::clamp(width * factor, double(kMinWidthUs), double(kMaxWidthUs));
    const double at = width > 0 ? double(anchorUs - start) / width : 1.0;
    const qint64 newStart = anchorUs - qint64(std::llround(at * newWidth));
    settle(newStart, newStart + qint64(std::llround(newWidth)));
}

void HistoryView::pan(qint64 deltaUs)
{
    settle(startUs() + deltaUs, endUs() + deltaUs);
}

void HistoryView::setRange(qint64 startUs, qint64 endUs)
{
    if (endUs <= startUs)
        endUs = startUs + kMinWidthUs;
    settle(startUs, endUs);
}

void HistoryView::setCursor(qint64 timeUs)
{
    if (timeUs == m_cursorUs)
        return;
    m_cursorUs = timeUs;
    emit cursorChanged();
}

void HistoryView::setChannelShown(int channel, bool shown)
{
    if (channel < 0 || channel > 7)
        return;
    const quint8 bit = quint8(1u << channel);
    m_hidden = shown ? quint8(m_hidden & ~bit) : quint8(m_hidden | bit);
    emit changed();
}
