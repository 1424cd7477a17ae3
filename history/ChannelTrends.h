#pragma once

#include "history/TimePlot.h"

#include <QColor>
#include <vector>

// The eight-channel trends: for every word address whose words were shown in data mode in the
// range in view, a band
// with one curve per channel (its value over time, held from one of its words to the next), in
// the word format of the channel monitor
// (13-bit: channel in bits 15..13, value in 12..0; 12-bit: channel in 14..12, value in 11..0),
// each band with its own decimal axis. A curve is broken where no frame was heard and where the
// word left the display. Curves are thinned to one
// vertical stroke (lowest to highest) per pixel column, so the cost follows the width, not the
// number of samples. The label column shows each channel's value at the time cursor, or the
// latest one.
//
// Thread contract: window thread only.
class ChannelTrends : public TimePlot
{
    Q_OBJECT
public:
    static constexpr int kBandHeight = 150;
    static constexpr int kBandMargin = 20; // above the curves: the band's title

    ChannelTrends(const HistoryStore &store, HistoryView &view, QWidget *parent = nullptr);

    static QColor channelColour(int channel);
    // Channel and value of a word in a format.
    static int channelOf(quint16 word, bool twelveBit)
    {
        return twelveBit ? (word >> 12) & 7 : word >> 13;
    }
    static int valueOf(quint16 word, bool twelveBit)
    {
        return twelveBit ? word & 0xFFF : word & 0x1FFF;
    }

    // The viewport y of a value in a key's band as last painted and now scrolled; -1 when the
    // key has no band.
    int valueY(int key, int value) const;

protected:
    int contentHeight() const override;
    void paintRows(QPainter &p, int scroll) override;

private:
    // Lays the bands out for the keys in view; true when they changed.
    bool layOutBands(const std::vector<char> &keys);
    void paintCurves(QPainter &p, const std::vector<int> &bandY, bool twelveBit);
    void paintLabels(QPainter &p, const std::vector<int> &bandY, bool twelveBit);

    std::vector<int> m_bandOfKey; // band index per key, -1 for none
    int m_bands = 0;
    std::vector<char> m_bandsFor; // the keys the bands are laid out for
};
