#pragma once

#include "history/TimePlot.h"

#include <QColor>
#include <functional>
#include <vector>

struct HistoryKey;

// The bit timeline: one row per bit the display lines showed in the range in view, grouped by the
// display line that first showed its key and headed by the key (kind and address as the unit shows
// it); each row is labelled with the bit's address as the comment panels label it and its comment.
// A bit's level is drawn in the colour of its line's lamps (IN green, OUT red, other kinds grey): a
// bar while it is on, a thin line while it is off, an edge at each change; changes closer than a
// pixel merge into a block. Where no frame was heard the rows stay blank. At the time cursor the
// label column shows every bit's value there.
//
// The whole timeline is one widget drawn with QPainter in one pass over the changes in view.
//
// Thread contract: window thread only.
class BitTimeline : public TimePlot
{
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 18;
    static constexpr int kBitHeight = 16;

    BitTimeline(const HistoryStore &store, HistoryView &view, QWidget *parent = nullptr);

    // The comment of a key's bit (from the comment tables); none by default.
    std::function<QString(const HistoryKey &key, int bit)> comment;

    // The colours of a kind's levels: on (the lamp's bright colour) and off (its dark one).
    static QColor onColour(const QString &kind);
    static QColor offColour(const QString &kind);

    // The viewport y of the top of a key's bit row as last painted and now scrolled; -1 when
    // it has none (the key was not shown in the range in view).
    int bitRowY(int key, int bit) const;
    // The viewport y of the line's level bar and off line within a row at rowTop.
    static int onSampleY(int rowTop) { return rowTop + kBitHeight / 2; }
    static int offSampleY(int rowTop) { return rowTop + kBitHeight - 3; }

protected:
    int contentHeight() const override;
    void paintRows(QPainter &p, int scroll) override;

private:
    struct Row {
        enum Type { LineHeader, KeyHeader, Bit } type;
        int line;
        int key;
        int bit;
        int y; // top in content coordinates
    };
    // Lays the rows out for the keys in view; true when they changed.
    bool layOutRows(const std::vector<char> &keys);
    void paintLevels(QPainter &p, const std::vector<int> &bitY);
    void paintLabels(QPainter &p, int scroll);

    std::vector<Row> m_rows;
    std::vector<char> m_rowsFor; // the keys the rows are laid out for
    int m_height = 0;
};
