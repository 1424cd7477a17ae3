#include "history/BitTimeline.h"

#include "history/HistoryKey.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace
{

struct Track {
    int level = -1; // -1: not shown
    int runFrom = 0;
    int lastEdge = INT_MIN;
    int denseFrom = -1;
};

QColor blend(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

} // namespace

BitTimeline::BitTimeline(const HistoryStore &store, HistoryView &view, QWidget *parent)
    : TimePlot(store, view, parent)
{
    setObjectName("HistoryTimeline");
}

QColor BitTimeline::onColour(const QString &kind)
{
    if (kind == QLatin1String("IN"))
        return QColor(0, 255, 0);
    if (kind == QLatin1String("OUT"))
        return QColor(255, 0, 0);
    return QColor(150, 150, 150);
}

QColor BitTimeline::offColour(const QString &kind)
{
    if (kind == QLatin1String("IN"))
        return QColor(0, 128, 0);
    if (kind == QLatin1String("OUT"))
        return QColor(128, 0, 0);
    return QColor(90, 90, 90);
}

bool BitTimeline::layOutRows(const std::vector<char> &keys)
{
    const HistoryStore &s = store();
    if (keys == m_rowsFor)
        return false;
    m_rows.clear();
    int y = 0;
    for (int line = 0; line < 4; ++line) {
        bool header = false;
        for (int k = 0; k < s.keyCount(); ++k) {
            if (s.keyLine(k) != line || !keys[std::size_t(k)])
                continue;
            if (!header) {
                m_rows.push_back({Row::LineHeader, line, -1, -1, y});
                y += kHeaderHeight;
                header = true;
            }
            m_rows.push_back({Row::KeyHeader, line, k, -1, y});
            y += kHeaderHeight;
            for (int bit = 0; bit < 16; ++bit) {
                m_rows.push_back({Row::Bit, line, k, bit, y});
                y += kBitHeight;
            }
        }
    }
    m_height = y;
    m_rowsFor = keys;
    return true;
}

int BitTimeline::contentHeight() const
{
    return m_height;
}

int BitTimeline::bitRowY(int key, int bit) const
{
    for (const Row &r : m_rows) {
        if (r.type == Row::Bit && r.key == key && r.bit == bit)
            return kAxisHeight + r.y - verticalScrollBar()->value();
    }
    return -1;
}

void BitTimeline::paintRows(QPainter &p, int scroll)
{
    if (layOutRows(keysInView()))
        updateRows();
    const int top = kAxisHeight;
    const int bottom = viewport()->height();
    std::vector<int> bitY(std::size_t(store().keyCount()) * 16, -1);
    for (const Row &r : m_rows) {
        const int y = top + r.y - scroll;
        if (r.type == Row::Bit && y + kBitHeight > top && y < bottom)
            bitY[std::size_t(r.key) * 16 + std::size_t(r.bit)] = y;
    }
    paintLevels(p, bitY);
    const QColor base = palette().color(QPalette::Base);
    for (const auto &gap : gapColumns())
        p.fillRect(gap.first, top, gap.second - gap.first, bottom - top, base);
    paintLabels(p, scroll);
}

void BitTimeline::paintLevels(QPainter &p, const std::vector<int> &bitY)
{
    const HistoryStore &s = store();
    const int keys = s.keyCount();
    const int right = viewport()->width();
    const std::size_t n = std::size_t(keys);
    std::vector<QColor> on(n), off(n), dense(n);
    std::vector<bool> visible(n, false);
    for (int k = 0; k < keys; ++k) {
        on[std::size_t(k)] = onColour(s.key(k).kind);
        off[std::size_t(k)] = offColour(s.key(k).kind);
        dense[std::size_t(k)] = blend(on[std::size_t(k)], off[std::size_t(k)]);
        for (int b = 0; b < 16; ++b)
            visible[std::size_t(k)] =
                visible[std::size_t(k)] || bitY[std::size_t(k) * 16 + std::size_t(b)] >= 0;
    }
    std::vector<Track> tracks(std::size_t(keys) * 16);
    auto run = [&](int k, int y, int from, int to, int level) {
        if (to <= from || level < 0)
            return;
        if (level)
            p.fillRect(from, y + 3, to - from, kBitHeight - 5, on[std::size_t(k)]);
        else
            p.fillRect(from, y + kBitHeight - 4, to - from, 2, off[std::size_t(k)]);
    };
    auto flushDense = [&](Track &t, int k, int y) {
        if (t.denseFrom < 0)
            return;
        p.fillRect(t.denseFrom, y + 3, t.lastEdge + 1 - t.denseFrom, kBitHeight - 5,
                   dense[std::size_t(k)]);
        t.runFrom = t.lastEdge + 1;
        t.denseFrom = -1;
    };
    auto close = [&](Track &t, int k, int y, int x) {
        if (t.level < 0)
            return;
        flushDense(t, k, y);
        run(k, y, t.runFrom, x, t.level);
        t = Track();
    };
    auto edge = [&](Track &t, int k, int y, int x, int level) {
        if (t.lastEdge != INT_MIN && t.lastEdge >= x - 1) {
            if (t.denseFrom < 0)
                t.denseFrom = t.lastEdge;
        } else {
            flushDense(t, k, y);
            run(k, y, t.runFrom, x, t.level);
            p.fillRect(x, y + 3, 1, kBitHeight - 5, on[std::size_t(k)]);
            t.runFrom = x + 1;
        }
        t.level = level;
        t.lastEdge = x;
    };

    const qint64 start = paintStartUs();
    const qint64 end = paintEndUs();
    const qsizetype i0 = s.lowerBound(start);
    const qsizetype i1 = s.lowerBound(end + 1);
    std::vector<HistoryStore::State> states = s.statesBefore(i0);
    for (int k = 0; k < keys; ++k) {
        const HistoryStore::State &st = states[std::size_t(k)];
        if (!visible[std::size_t(k)] || !st.shown)
            continue;
        for (int b = 0; b < 16; ++b) {
            Track &t = tracks[std::size_t(k) * 16 + std::size_t(b)];
            t.level = (st.value >> b) & 1;
            t.runFrom = kLabelWidth;
        }
    }
    std::vector<quint8> &marks = changeColumns();
    const double x0 = xOf(start);
    const double scale = (xOf(end) - x0) / double(std::max<qint64>(1, end - start));
    for (qsizetype i = i0; i < i1; ++i) {
        const HistoryStore::Change &c = s.at(i);
        const int k = int(c.key);
        HistoryStore::State &st = states[std::size_t(k)];
        const int x =
            std::clamp(int(std::floor(x0 + double(c.timeUs - start) * scale)), kLabelWidth, right);
        if (x < int(marks.size()))
            marks[std::size_t(x)] = 1;
        if (visible[std::size_t(k)]) {
            Track *tk = &tracks[std::size_t(k) * 16];
            const int *ys = &bitY[std::size_t(k) * 16];
            if (!c.shown) {
                for (int b = 0; b < 16; ++b) {
                    if (ys[b] >= 0)
                        close(tk[b], k, ys[b], x);
                }
            } else if (!st.shown) {
                for (int b = 0; b < 16; ++b) {
                    tk[b] = Track();
                    tk[b].level = (c.value >> b) & 1;
                    tk[b].runFrom = x;
                }
            } else {
                for (quint32 toggled = quint32(st.value ^ c.value); toggled;
                     toggled &= toggled - 1) {
                    const int b = std::countr_zero(toggled);
                    if (ys[b] >= 0)
                        edge(tk[b], k, ys[b], x, (c.value >> b) & 1);
                }
            }
        }
        st.shown = c.shown != 0;
        st.value = c.value;
    }
    for (int k = 0; k < keys; ++k) {
        if (!visible[std::size_t(k)])
            continue;
        for (int b = 0; b < 16; ++b) {
            const int y = bitY[std::size_t(k) * 16 + std::size_t(b)];
            if (y >= 0)
                close(tracks[std::size_t(k) * 16 + std::size_t(b)], k, y, right);
        }
    }
}

void BitTimeline::paintLabels(QPainter &p, int scroll)
{
    const HistoryStore &s = store();
    const QPalette &pal = palette();
    const int top = kAxisHeight;
    const int bottom = viewport()->height();
    p.fillRect(0, top, kLabelWidth - 1, bottom - top, pal.color(QPalette::Base));
    std::vector<HistoryStore::State> atCursor;
    if (view().cursorUs() >= 0)
        atCursor = s.statesBefore(s.lowerBound(view().cursorUs() + 1));
    const QFontMetrics fm = p.fontMetrics();
    const int valueWidth = fm.horizontalAdvance(QStringLiteral("0")) + 8;
    QFont bold = p.font();
    bold.setBold(true);
    const QFont normal = p.font();
    for (const Row &r : m_rows) {
        const int y = top + r.y - scroll;
        const int h = r.type == Row::Bit ? kBitHeight : kHeaderHeight;
        if (y + h <= top || y >= bottom)
            continue;
        if (r.type == Row::LineHeader) {
            p.fillRect(0, y, viewport()->width(), h, pal.color(QPalette::AlternateBase));
            p.setFont(bold);
            p.setPen(pal.color(QPalette::Text));
            p.drawText(QRect(4, y, kLabelWidth - 8, h), Qt::AlignVCenter | Qt::AlignLeft,
                       tr("ライン%1").arg(r.line + 1));
            p.setFont(normal);
            continue;
        }
        const HistoryKey &key = s.key(r.key);
        if (r.type == Row::KeyHeader) {
            p.fillRect(0, y + h - 1, viewport()->width(), 1, pal.color(QPalette::Midlight));
            p.setFont(bold);
            // The kind's colour as a swatch: as text, bright green or dark red would not read on
            // every theme's background.
            p.fillRect(4, y + 4, 10, h - 8, onColour(key.kind));
            p.setPen(pal.color(QPalette::Text));
            const QString what =
                key.word ? tr("%1 %2（ワード%3）").arg(key.kind, key.addrText).arg(key.wordNumber())
                         : tr("%1 %2（ビット%3～%4）")
                               .arg(key.kind, key.addrText)
                               .arg(key.first)
                               .arg(key.first + 15);
            p.drawText(QRect(18, y, kLabelWidth - 22, h), Qt::AlignVCenter | Qt::AlignLeft, what);
            p.setFont(normal);
            continue;
        }
        p.setPen(pal.color(QPalette::Text));
        const QString label = key.bitLabel(r.bit);
        const QString note = comment ? comment(key, r.bit) : QString();
        const QRect text(16, y, kLabelWidth - 24 - valueWidth, h);
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                   fm.elidedText(note.isEmpty() ? label : label + QStringLiteral("  ") + note,
                                 Qt::ElideRight, text.width()));
        if (!atCursor.empty()) {
            const HistoryStore::State &st = atCursor[std::size_t(r.key)];
            if (st.shown) {
                const bool bitOn = (st.value >> r.bit) & 1;
                const QRect box(kLabelWidth - 6 - valueWidth, y + 1, valueWidth, h - 2);
                p.fillRect(box, bitOn ? onColour(key.kind) : pal.color(QPalette::Window));
                p.setPen(bitOn ? QColor(Qt::black) : pal.color(QPalette::WindowText));
                p.drawText(box, Qt::AlignCenter, bitOn ? QStringLiteral("1") : QStringLiteral("0"));
            }
        }
    }
}
