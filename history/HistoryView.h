#pragma once

#include <QObject>
#include <functional>

class HistoryStore;

// The time range the history window shows, shared by the bit timeline and the trends, and the
// time cursor. Three ways to follow the data: Fit shows everything held and keeps doing so as
// data arrives; Follow keeps the width and moves with the latest time; Fixed stays where the
// user put it. Zooming or panning up to the latest time follows it, anywhere else fixes the
// range.
//
// Thread contract: window thread only.
class HistoryView : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Fit, Follow, Fixed };
    static constexpr qint64 kMinWidthUs = 100;
    static constexpr qint64 kMaxWidthUs = 100LL * 365 * 24 * 3600 * 1000000;

    explicit HistoryView(const HistoryStore &store, QObject *parent = nullptr);

    // The time of the frame source now (the recorded time in a replay), or -1 while no source
    // feeds the display (the history then ends with what was last heard); by default the wall
    // clock.
    std::function<qint64()> now;

    qint64 startUs() const;
    qint64 endUs() const;
    Mode mode() const { return m_mode; }
    // Up to when levels are drawn: now while frames still arrive, else the last frame heard.
    qint64 heardUntilUs() const;
    // The latest time there is to show.
    qint64 liveEndUs() const;

    void fit();
    // Zooms by factor (< 1 in) keeping anchorUs where it is.
    void zoom(double factor, qint64 anchorUs);
    void pan(qint64 deltaUs);
    void setRange(qint64 startUs, qint64 endUs);

    // -1: no cursor.
    qint64 cursorUs() const { return m_cursorUs; }
    void setCursor(qint64 timeUs);

    // Eight-channel words: the 12-bit format (else 13-bit), and the channels hidden (bit c).
    std::function<bool()> twelveBit;
    quint8 hiddenChannels() const { return m_hidden; }
    void setChannelShown(int channel, bool shown);

signals:
    void changed();
    void cursorChanged();

private:
    void settle(qint64 start, qint64 end);

    const HistoryStore &m_store;
    Mode m_mode = Mode::Fit;
    qint64 m_start = 0;
    qint64 m_end = 0;
    qint64 m_width = 10'000'000;
    qint64 m_cursorUs = -1;
    quint8 m_hidden = 0;
};
