#pragma once

#include "history/HistoryKey.h"

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <deque>
#include <vector>

// What the display lines showed over time, kept as changes, not frames: each change is the
// sixteen bits of one key (a display line's address, see HistoryKey) taking a new value, or the
// key leaving the display. Beside the changes it keeps when frames were heard at all, as spans:
// frames less than kGapUs apart belong to one span, and between spans nothing was heard (the
// port was closed, the unit silent), so nothing may be drawn there.
//
// The number of changes is bounded (limit(), by default 1,000,000, 16 bytes each): beyond it the
// oldest go. What they set is kept as the baseline, the state of every key at the oldest change
// still held, so a bit that has not changed for a long time keeps its level; the history
// reaches back to that oldest change (reachUs()).
//
// Times are microseconds since 1970 (UTC) and never go backwards: an earlier time is taken as
// the latest one.
//
// Thread contract: window thread only.
class HistoryStore
{
public:
    static constexpr qsizetype kDefaultLimit = 1'000'000;
    // The same quiet time after which the window says the unit's display no longer arrives.
    static constexpr qint64 kGapUs = 2'000'000;
    static constexpr qsizetype kMaxSpans = 100'000;

    struct Change {
        qint64 timeUs;
        quint32 key;
        quint16 value; // bit b is bit b of the line's data word
        quint8 line;   // the display line 0..3 that showed it
        quint8 shown;  // 0: the key left the display at this time
    };
    struct Span {
        qint64 startUs;
        qint64 endUs;
    };
    struct State {
        bool known = false; // the key has been shown at or before that time
        bool shown = false;
        quint16 value = 0;
        quint8 line = 0;
    };

    explicit HistoryStore(qsizetype limit = kDefaultLimit);

    // The index of a key, added on first sight; line is where it was first shown (its group).
    int keyOf(const HistoryKey &key, int line);
    int keyCount() const { return int(m_keys.size()); }
    const HistoryKey &key(int index) const { return m_keys[std::size_t(index)].key; }
    int keyLine(int index) const { return m_keys[std::size_t(index)].line; }
    // The key's state after the latest change.
    const State &current(int index) const { return m_current[std::size_t(index)]; }

    // A good frame was heard at timeUs.
    void frame(qint64 timeUs);
    // The key shows value on line at timeUs (recorded only when it differs from its state).
    void record(qint64 timeUs, int key, int line, quint16 value);
    // The key no longer shows on the display.
    void hide(qint64 timeUs, int key);
    // Everything goes: keys, changes, spans.
    void clear();

    qsizetype limit() const { return m_limit; }
    qsizetype size() const { return m_size; }
    const Change &at(qsizetype i) const
    {
        qsizetype slot = m_head + i;
        if (slot >= qsizetype(m_ring.size()))
            slot -= qsizetype(m_ring.size());
        return m_ring[std::size_t(slot)];
    }
    // The first change at or after timeUs (size() when none).
    qsizetype lowerBound(qint64 timeUs) const;
    // Changes dropped because of the limit since the last clear().
    quint64 dropped() const { return m_dropped; }

    // The earliest time the history knows (the first frame heard, or once changes were dropped,
    // the oldest change kept); -1 when it is empty.
    qint64 reachUs() const;
    // The latest time anything was heard or recorded; -1 when empty.
    qint64 latestUs() const { return m_latestUs; }
    const std::deque<Span> &spans() const { return m_spans; }
    // The last frame heard; -1 when none.
    qint64 lastFrameUs() const { return m_spans.empty() ? -1 : m_spans.back().endUs; }
    // Whether timeUs lies within a span (frames were heard around it).
    bool heard(qint64 timeUs) const;

    // The state of every key before change i (after the changes before it).
    std::vector<State> statesBefore(qsizetype i) const;
    // The state of every key before the oldest change held.
    const std::vector<State> &baseline() const { return m_baseline; }

    // Bytes the history holds (changes and spans, as allocated), for the window's notice.
    qsizetype bytesHeld() const;

private:
    qint64 clampTime(qint64 timeUs);
    void push(const Change &c);
    void trimSpans();

    struct KeyEntry {
        HistoryKey key;
        int line;
    };
    qsizetype m_limit;
    std::vector<KeyEntry> m_keys;
    QHash<QString, int> m_index;
    std::vector<State> m_current;
    std::vector<State> m_baseline;
    std::vector<Change> m_ring;
    qsizetype m_head = 0;
    qsizetype m_size = 0;
    quint64 m_dropped = 0;
    std::deque<Span> m_spans;
    qint64 m_latestUs = -1;
};
