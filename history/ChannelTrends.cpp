#include "history/ChannelTrends.h"

#include "history/HistoryKey.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <cmath>

namespace
{

constexpr int kChannels = 8;
// Where the samples of a channel searched for the label column end, counted back from the
// cursor: a channel not seen in that many changes shows no value.
constexpr qsizetype kLabelSearch = 200'000;

struct Curve {
    int col = -1;
    int minY = 0, maxY = 0, lastY = 0;
    std::size_t span = 0;
    bool joined = false; // the word is on the display: the value holds until the next
};

int maxValue(bool twelveBit)
{
    return twelveBit ? 4095 : 8191;
}

} // namespace

ChannelTrends::ChannelTrends(const HistoryStore &store, HistoryView &view, QWidget *parent)
    : TimePlot(store, view, parent)
{
    setObjectName("HistoryTrends");
}

QColor ChannelTrends::channelColour(int channel)
{
    static const std::array<QColor, kChannels> colours = {
        QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
        QColor(0xd6, 0x27, 0x28), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
        QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};
    return colours[std::size_t(channel & 7)];
}

bool ChannelTrends::layOutBands(const std::vector<char> &keys)
{
    const HistoryStore &s = store();
    if (keys == m_bandsFor)
        return false;
    m_bandOfKey.assign(std::size_t(s.keyCount()), -1);
    m_bands = 0;
    for (int k = 0; k < s.keyCount(); ++k) {
        if (s.key(k).word && keys[std::size_t(k)])
            m_bandOfKey[std::size_t(k)] = m_bands++;
    }
    m_bandsFor = keys;
    return true;
}

int ChannelTrends::contentHeight() const
{
    return m_bands * kBandHeight;
}

int ChannelTrends::valueY(int key, int value) const
{
    if (key < 0 || key >= int(m_bandOfKey.size()) || m_bandOfKey[std::size_t(key)] < 0)
        return -1;
    const int top = kAxisHeight + m_bandOfKey[std::size_t(key)] * kBandHeight -
                    verticalScrollBar()->value() + kBandMargin;
    const int height = kBandHeight - kBandMargin - 6;
    const int max = maxValue(view().twelveBit && view().twelveBit());
    return top + height - int(std::lround(double(std::clamp(value, 0, max)) * height / max));
}

void ChannelTrends::paintRows(QPainter &p, int scroll)
{
    if (layOutBands(keysInView()))
        updateRows();
    const bool twelveBit = view().twelveBit && view().twelveBit();
    const int top = kAxisHeight;
    const int bottom = viewport()->height();
    const QPalette &pal = palette();
    std::vector<int> bandY(std::size_t(m_bands), -1);
    for (int b = 0; b < m_bands; ++b) {
        const int y = top + b * kBandHeight - scroll;
        if (y + kBandHeight > top && y < bottom)
            bandY[std::size_t(b)] = y;
    }
    // Grid: quarters of the value range, in decimal at the plot's left edge.
    const int max = maxValue(twelveBit);
    for (int b = 0; b < m_bands; ++b) {
        const int y = bandY[std::size_t(b)];
        if (y < 0)
            continue;
        p.fillRect(0, y + kBandHeight - 1, viewport()->width(), 1, pal.color(QPalette::Mid));
        const int plotTop = y + kBandMargin;
        const int height = kBandHeight - kBandMargin - 6;
        for (int q = 0; q <= 4; ++q) {
            const int gy = plotTop + height - height * q / 4;
            p.fillRect(kLabelWidth, gy, viewport()->width() - kLabelWidth, 1,
                       pal.color(QPalette::AlternateBase));
            p.setPen(pal.color(QPalette::PlaceholderText));
            p.drawText(QRect(kLabelWidth - 64, gy - 7, 58, 14), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(max * q / 4));
        }
    }
    paintCurves(p, bandY, twelveBit);
    for (const auto &gap : gapColumns())
        p.fillRect(gap.first, top, gap.second - gap.first, bottom - top, pal.color(QPalette::Base));
    paintLabels(p, bandY, twelveBit);
}

void ChannelTrends::paintCurves(QPainter &p, const std::vector<int> &bandY, bool twelveBit)
{
    const HistoryStore &s = store();
    const int right = viewport()->width();
    const quint8 hidden = view().hiddenChannels();
    const int max = maxValue(twelveBit);
    const int height = kBandHeight - kBandMargin - 6;
    std::vector<Curve> curves(std::size_t(m_bands) * kChannels);
    std::array<QPen, kChannels> pens;
    for (int c = 0; c < kChannels; ++c)
        pens[std::size_t(c)] = QPen(channelColour(c), 1);

    const qint64 start = paintStartUs();
    const qint64 end = paintEndUs();
    const qsizetype i0 = s.lowerBound(start);
    const qsizetype i1 = s.lowerBound(end + 1);
    const auto &spans = s.spans();
    std::size_t span = std::size_t(
        std::upper_bound(spans.begin(), spans.end(), start,
                         [](qint64 t, const HistoryStore::Span &sp) { return t < sp.startUs; }) -
        spans.begin());
    span = span > 0 ? span - 1 : 0;
    const double x0 = xOf(start);
    const double scale = (xOf(end) - x0) / double(std::max<qint64>(1, end - start));
    std::vector<quint8> &marks = changeColumns();
    auto flush = [&](Curve &cv, int c) {
        if (cv.col >= 0 && cv.maxY > cv.minY) {
            p.setPen(pens[std::size_t(c)]);
            p.drawLine(cv.col, cv.minY, cv.col, cv.maxY);
        }
    };
    // A channel holds its value until its next word: a level to x.
    auto hold = [&](Curve &cv, int c, int x) {
        if (cv.col >= 0 && cv.joined && x > cv.col) {
            p.setPen(pens[std::size_t(c)]);
            p.drawLine(cv.col, cv.lastY, x, cv.lastY);
        }
    };
    auto yOf = [&](int band, quint16 word) {
        const int plotBottom = bandY[std::size_t(band)] + kBandMargin + height;
        return plotBottom - int(std::lround(double(valueOf(word, twelveBit)) * height / max));
    };
    // What each channel held when the range begins: its last word before, while the word
    // stayed on the display since.
    {
        std::vector<char> closed(std::size_t(m_bands), 0);
        for (qsizetype i = i0 - 1; i >= 0 && i >= i0 - kLabelSearch; --i) {
            const HistoryStore::Change &ch = s.at(i);
            const int band = ch.key < m_bandOfKey.size() ? m_bandOfKey[ch.key] : -1;
            if (band < 0 || bandY[std::size_t(band)] < 0 || closed[std::size_t(band)])
                continue;
            if (!ch.shown) {
                closed[std::size_t(band)] = 1;
                continue;
            }
            const int c = channelOf(ch.value, twelveBit);
            Curve &cv = curves[std::size_t(band) * kChannels + std::size_t(c)];
            if (cv.col >= 0 || ((hidden >> c) & 1))
                continue;
            cv.col = kLabelWidth;
            cv.minY = cv.maxY = cv.lastY = yOf(band, ch.value);
            cv.joined = true;
        }
    }
    for (qsizetype i = i0; i < i1; ++i) {
        const HistoryStore::Change &ch = s.at(i);
        const int band = ch.key < m_bandOfKey.size() ? m_bandOfKey[ch.key] : -1;
        if (band < 0 || bandY[std::size_t(band)] < 0)
            continue;
        while (span + 1 < spans.size() && spans[span + 1].startUs <= ch.timeUs)
            ++span;
        Curve *bandCurves = &curves[std::size_t(band) * kChannels];
        const int x =
            std::clamp(int(std::floor(x0 + double(ch.timeUs - start) * scale)), kLabelWidth, right);
        if (x < int(marks.size()))
            marks[std::size_t(x)] = 1;
        if (!ch.shown) {
            for (int c = 0; c < kChannels; ++c) {
                hold(bandCurves[c], c, x);
                bandCurves[c].joined = false;
            }
            continue;
        }
        const int c = channelOf(ch.value, twelveBit);
        if ((hidden >> c) & 1)
            continue;
        const int y = yOf(band, ch.value);
        Curve &cv = bandCurves[c];
        if (cv.col == x) {
            cv.minY = std::min(cv.minY, y);
            cv.maxY = std::max(cv.maxY, y);
            cv.lastY = y;
            continue;
        }
        flush(cv, c);
        // Across a span without frames the level is held only to the gap (drawn over later),
        // and the new span starts afresh at its own first value.
        const bool step = cv.col >= 0 && cv.joined && cv.span == span;
        hold(cv, c, x);
        cv.minY = cv.maxY = y;
        if (step) {
            cv.minY = std::min(y, cv.lastY);
            cv.maxY = std::max(y, cv.lastY);
        } else {
            // A lone first sample still shows, as a short stroke.
            cv.minY = y - 1;
            cv.maxY = y + 1;
        }
        cv.col = x;
        cv.lastY = y;
        cv.span = span;
        cv.joined = true;
    }
    for (int b = 0; b < m_bands; ++b) {
        for (int c = 0; c < kChannels; ++c) {
            Curve &cv = curves[std::size_t(b) * kChannels + std::size_t(c)];
            flush(cv, c);
            hold(cv, c, right);
        }
    }
}

void ChannelTrends::paintLabels(QPainter &p, const std::vector<int> &bandY, bool twelveBit)
{
    const HistoryStore &s = store();
    const QPalette &pal = palette();
    const int top = kAxisHeight;
    p.fillRect(0, top, kLabelWidth - 66, viewport()->height() - top, pal.color(QPalette::Base));
    // Each channel's latest value at the cursor (or now).
    std::vector<int> values(std::size_t(m_bands) * kChannels, -1);
    std::size_t missing = values.size();
    const qsizetype from = view().cursorUs() >= 0 ? s.lowerBound(view().cursorUs() + 1) : s.size();
    for (qsizetype i = from - 1; i >= 0 && i >= from - kLabelSearch && missing > 0; --i) {
        const HistoryStore::Change &ch = s.at(i);
        const int band = ch.key < m_bandOfKey.size() ? m_bandOfKey[ch.key] : -1;
        if (band < 0 || !ch.shown)
            continue;
        int &v =
            values[std::size_t(band) * kChannels + std::size_t(channelOf(ch.value, twelveBit))];
        if (v < 0) {
            v = valueOf(ch.value, twelveBit);
            --missing;
        }
    }
    QFont bold = p.font();
    bold.setBold(true);
    const QFont normal = p.font();
    const quint8 hidden = view().hiddenChannels();
    for (int k = 0; k < s.keyCount(); ++k) {
        const int band = m_bandOfKey[std::size_t(k)];
        if (band < 0 || bandY[std::size_t(band)] < 0)
            continue;
        const int y = bandY[std::size_t(band)];
        const HistoryKey &key = s.key(k);
        p.setFont(bold);
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(4, y + 2, kLabelWidth - 8, kBandMargin - 4),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   tr("%1 %2（ワード%3）%4")
                       .arg(key.kind, key.addrText)
                       .arg(key.wordNumber())
                       .arg(twelveBit ? tr(" 12ビット") : tr(" 13ビット")));
        p.setFont(normal);
        for (int c = 0; c < kChannels; ++c) {
            const int ry = y + kBandMargin + c * 15;
            const bool shown = !((hidden >> c) & 1);
            p.fillRect(6, ry + 4, 10, 8, shown ? channelColour(c) : pal.color(QPalette::Mid));
            const int v = values[std::size_t(band) * kChannels + std::size_t(c)];
            p.setPen(shown ? pal.color(QPalette::Text) : pal.color(QPalette::PlaceholderText));
            p.drawText(QRect(20, ry, kLabelWidth - 90, 15), Qt::AlignLeft | Qt::AlignVCenter,
                       tr("CH%1").arg(c));
            p.drawText(QRect(20, ry, kLabelWidth - 90, 15), Qt::AlignRight | Qt::AlignVCenter,
                       v >= 0 ? QString::number(v) : QStringLiteral("—"));
        }
    }
}
