#include "history/TimePlot.h"

#include "history/HistoryStore.h"
#include "history/HistoryView.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace
{

// Tick steps of the time axis, microseconds.
constexpr qint64 kSteps[] = {
    1'000,          2'000,          5'000,         10'000,        20'000,        50'000,
    100'000,        200'000,        500'000,       1'000'000,     2'000'000,     5'000'000,
    10'000'000,     15'000'000,     30'000'000,    60'000'000,    120'000'000,   300'000'000,
    600'000'000,    900'000'000,    1'800'000'000, 3'600'000'000, 7'200'000'000, 21'600'000'000,
    43'200'000'000, 86'400'000'000,
};
constexpr int kMinTickSpacing = 110;
constexpr double kWheelStep = 0.8; // zoom factor per wheel notch inwards

} // namespace

TimePlot::TimePlot(const HistoryStore &store, HistoryView &view, QWidget *parent)
    : QAbstractScrollArea(parent), m_store(store), m_view(view)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&view, &HistoryView::changed, viewport(), qOverload<>(&QWidget::update));
    connect(&view, &HistoryView::cursorChanged, viewport(), qOverload<>(&QWidget::update));
}

int TimePlot::plotWidth() const
{
    return std::max(1, viewport()->width() - kLabelWidth);
}

double TimePlot::xOf(qint64 timeUs) const
{
    const qint64 start = m_painting ? m_paintStart : m_view.startUs();
    const qint64 end = m_painting ? m_paintEnd : m_view.endUs();
    const double width = double(std::max<qint64>(1, end - start));
    return kLabelWidth + double(timeUs - start) * plotWidth() / width;
}

qint64 TimePlot::timeAt(double x) const
{
    const qint64 start = m_view.startUs();
    const qint64 end = m_view.endUs();
    return start + qint64(std::llround((x - kLabelWidth) * double(end - start) / plotWidth()));
}

QString TimePlot::clockText(qint64 timeUs)
{
    return QDateTime::fromMSecsSinceEpoch(timeUs / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

void TimePlot::updateRows()
{
    QScrollBar *bar = verticalScrollBar();
    const int room = std::max(0, viewport()->height() - kAxisHeight);
    bar->setRange(0, std::max(0, contentHeight() - room));
    bar->setPageStep(room);
    bar->setSingleStep(16);
    viewport()->update();
}

QList<QPair<int, int>> TimePlot::gapColumns() const
{
    QList<QPair<int, int>> gaps;
    const qint64 start = m_painting ? m_paintStart : m_view.startUs();
    const qint64 end = m_painting ? m_paintEnd : m_view.endUs();
    const int right = viewport()->width();
    auto add = [&](qint64 from, qint64 to) {
        if (to <= start || from >= end)
            return;
        from = std::max(from, start - 1);
        to = std::min(to, end + 1);
        // The columns of the last and of the next frame are heard; the gap lies between.
        const int a = std::max(kLabelWidth, int(std::floor(xOf(from))) + 1);
        const int b = std::min(right, int(std::floor(xOf(to))));
        if (b > a)
            gaps.append({a, b});
    };
    const auto &spans = m_store.spans();
    const qint64 heardUntil = m_view.heardUntilUs();
    if (spans.empty()) {
        add(start, end + 1);
        return gaps;
    }
    add(std::numeric_limits<qint64>::min() / 2, spans.front().startUs);
    auto from = std::upper_bound(spans.begin(), spans.end(), start,
                                 [](qint64 t, const HistoryStore::Span &s) { return t < s.endUs; });
    if (from != spans.begin())
        --from;
    for (auto it = from; it != spans.end() && it->startUs < end; ++it) {
        const auto next = std::next(it);
        if (next != spans.end())
            add(it->endUs, next->startUs);
    }
    add(heardUntil, std::numeric_limits<qint64>::max() / 2);
    return gaps;
}

std::vector<char> TimePlot::keysInView() const
{
    std::vector<char> in(std::size_t(m_store.keyCount()), 0);
    const qsizetype i0 = m_store.lowerBound(m_paintStart);
    const qsizetype i1 = m_store.lowerBound(m_paintEnd + 1);
    const std::vector<HistoryStore::State> states = m_store.statesBefore(i0);
    for (std::size_t k = 0; k < states.size(); ++k)
        in[k] = states[k].shown ? 1 : 0;
    for (qsizetype i = i0; i < i1; ++i)
        in[m_store.at(i).key] = 1;
    return in;
}

void TimePlot::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    m_paintStart = m_view.startUs();
    m_paintEnd = std::max(m_view.endUs(), m_paintStart + 1);
    m_painting = true;
    const QPalette &pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    m_changeColumns.assign(std::size_t(std::max(0, viewport()->width())), 0);
    p.save();
    p.setClipRect(0, kAxisHeight, viewport()->width(), viewport()->height() - kAxisHeight);
    paintRows(p, verticalScrollBar()->value());
    p.restore();
    drawAxis(p);
    if (m_view.cursorUs() >= 0) {
        const int x = int(std::floor(xOf(m_view.cursorUs())));
        if (x >= kLabelWidth && x < viewport()->width()) {
            p.fillRect(x, 0, 1, viewport()->height(), pal.color(QPalette::Highlight));
            const QString text = clockText(m_view.cursorUs());
            const int w = p.fontMetrics().horizontalAdvance(text) + 8;
            const int left = std::min(x + 2, viewport()->width() - w);
            const QRect box(left, 1, w, p.fontMetrics().height() + 2);
            p.fillRect(box, pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawText(box, Qt::AlignCenter, text);
        }
    }
    m_painting = false;
}

void TimePlot::drawAxis(QPainter &p)
{
    const QPalette &pal = palette();
    const int w = viewport()->width();
    p.fillRect(0, 0, w, kAxisHeight, pal.color(QPalette::Window));
    const int stripTop = kAxisHeight - 8;
    // Spans with no frame: shaded in the axis (the rows leave them blank).
    for (const auto &gap : gapColumns())
        p.fillRect(gap.first, 0, gap.second - gap.first, stripTop, pal.color(QPalette::Mid));
    const QColor mark = pal.color(QPalette::WindowText);
    for (int x = kLabelWidth; x < w && std::size_t(x) < m_changeColumns.size(); ++x) {
        if (m_changeColumns[std::size_t(x)])
            p.fillRect(x, stripTop + 1, 1, 6, mark);
    }
    const qint64 start = m_paintStart;
    const qint64 end = m_paintEnd;
    const double usPerPixel = double(end - start) / plotWidth();
    qint64 step = kSteps[std::size(kSteps) - 1];
    for (qint64 s : kSteps) {
        if (double(s) / usPerPixel >= kMinTickSpacing) {
            step = s;
            break;
        }
    }
    // Steps are whole in local time: a tick at 12:00:05.000, not at some odd offset.
    const qint64 offset =
        qint64(QDateTime::fromMSecsSinceEpoch(start / 1000).offsetFromUtc()) * 1'000'000;
    qint64 t = ((start + offset) / step) * step - offset;
    p.setPen(pal.color(QPalette::WindowText));
    const int textTop = 2;
    for (; t <= end; t += step) {
        const int x = int(std::floor(xOf(t)));
        if (x < kLabelWidth)
            continue;
        p.fillRect(x, stripTop - 6, 1, 6, mark);
        p.drawText(x + 3, textTop + p.fontMetrics().ascent(), clockText(t));
    }
    p.fillRect(0, kAxisHeight - 1, w, 1, pal.color(QPalette::Mid));
    p.fillRect(kLabelWidth - 1, 0, 1, viewport()->height(), pal.color(QPalette::Mid));
}

void TimePlot::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateRows();
}

void TimePlot::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TimePlot::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ShiftModifier) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        event->ignore();
        return;
    }
    const double x = std::max<double>(kLabelWidth, event->position().x());
    m_view.zoom(std::pow(kWheelStep, notches), timeAt(x));
    event->accept();
}

void TimePlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_dragFrom = event->position().toPoint();
    m_dragStartUs = m_view.startUs();
    m_dragEndUs = m_view.endUs();
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void TimePlot::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_dragging) {
        const double usPerPixel = double(m_dragEndUs - m_dragStartUs) / plotWidth();
        const qint64 delta = qint64(std::llround((m_dragFrom.x() - at.x()) * usPerPixel));
        m_view.setRange(m_dragStartUs + delta, m_dragEndUs + delta);
    }
    m_view.setCursor(at.x() >= kLabelWidth ? timeAt(at.x()) : -1);
}

void TimePlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        viewport()->unsetCursor();
    }
}

bool TimePlot::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave && !m_dragging)
        m_view.setCursor(-1);
    return QAbstractScrollArea::viewportEvent(event);
}
