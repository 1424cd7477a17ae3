#include "history/HistoryStore.h"

#include <algorithm>

HistoryStore::HistoryStore(qsizetype limit) : m_limit(std::max<qsizetype>(1, limit)) {}

int HistoryStore::keyOf(const HistoryKey &key, int line)
{
    // Looked up for every changed line: a hash, as a noisy line can bring many addresses.
    const QString id =
        key.kind + QChar(0) + QChar(key.word ? u'W' : u'B') + QString::number(key.first);
    const auto found = m_index.constFind(id);
    if (found != m_index.constEnd())
        return *found;
    m_index.insert(id, int(m_keys.size()));
    m_keys.push_back({key, line});
    m_current.emplace_back();
    m_baseline.emplace_back();
    return int(m_keys.size() - 1);
}

qint64 HistoryStore::clampTime(qint64 timeUs)
{
    timeUs = std::max(timeUs, m_latestUs);
    m_latestUs = timeUs;
    return timeUs;
}

void HistoryStore::frame(qint64 timeUs)
{
    timeUs = clampTime(timeUs);
    if (!m_spans.empty() && timeUs - m_spans.back().endUs <= kGapUs) {
        m_spans.back().endUs = timeUs;
        return;
    }
    m_spans.push_back({timeUs, timeUs});
    if (qsizetype(m_spans.size()) > kMaxSpans)
        m_spans.pop_front();
}

void HistoryStore::record(qint64 timeUs, int key, int line, quint16 value)
{
    State &s = m_current[std::size_t(key)];
    if (s.known && s.shown && s.value == value && s.line == line)
        return;
    push({clampTime(timeUs), quint32(key), value, quint8(line), 1});
}

void HistoryStore::hide(qint64 timeUs, int key)
{
    const State &s = m_current[std::size_t(key)];
    if (!s.shown)
        return;
    push({clampTime(timeUs), quint32(key), s.value, s.line, 0});
}

void HistoryStore::push(const Change &c)
{
    State &s = m_current[c.key];
    s = {true, c.shown != 0, c.value, c.line};
    if (m_size < m_limit) {
        m_ring.push_back(c);
        ++m_size;
        return;
    }
    // Full: the oldest change becomes part of the baseline and its slot takes the new one.
    Change &oldest = m_ring[std::size_t(m_head)];
    m_baseline[oldest.key] = {true, oldest.shown != 0, oldest.value, oldest.line};
    oldest = c;
    ++m_dropped;
    if (++m_head == qsizetype(m_ring.size()))
        m_head = 0;
    trimSpans();
}

void HistoryStore::trimSpans()
{
    const qint64 reach = at(0).timeUs;
    while (!m_spans.empty() && m_spans.front().endUs < reach)
        m_spans.pop_front();
    if (!m_spans.empty() && m_spans.front().startUs < reach)
        m_spans.front().startUs = reach;
}

void HistoryStore::clear()
{
    m_keys.clear();
    m_index.clear();
    m_current.clear();
    m_baseline.clear();
    m_ring.clear();
    m_ring.shrink_to_fit();
    m_head = m_size = 0;
    m_dropped = 0;
    m_spans.clear();
    m_latestUs = -1;
}

qsizetype HistoryStore::lowerBound(qint64 timeUs) const
{
    qsizetype lo = 0, hi = m_size;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (at(mid).timeUs < timeUs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

qint64 HistoryStore::reachUs() const
{
    if (m_dropped > 0 && m_size > 0)
        return at(0).timeUs;
    qint64 reach = -1;
    if (!m_spans.empty())
        reach = m_spans.front().startUs;
    if (m_size > 0 && (reach < 0 || at(0).timeUs < reach))
        reach = at(0).timeUs;
    return reach;
}

bool HistoryStore::heard(qint64 timeUs) const
{
    auto it = std::upper_bound(m_spans.begin(), m_spans.end(), timeUs,
                               [](qint64 t, const Span &s) { return t < s.startUs; });
    if (it == m_spans.begin())
        return false;
    --it;
    return timeUs <= it->endUs;
}

std::vector<HistoryStore::State> HistoryStore::statesBefore(qsizetype i) const
{
    std::vector<State> states(m_keys.size());
    std::size_t missing = states.size();
    for (qsizetype j = std::min(i, m_size) - 1; j >= 0 && missing > 0; --j) {
        const Change &c = at(j);
        State &s = states[c.key];
        if (!s.known) {
            s = {true, c.shown != 0, c.value, c.line};
            --missing;
        }
    }
    for (std::size_t k = 0; k < states.size() && missing > 0; ++k) {
        if (!states[k].known) {
            states[k] = m_baseline[k];
            --missing;
        }
    }
    return states;
}

qsizetype HistoryStore::bytesHeld() const
{
    return qsizetype(m_ring.capacity() * sizeof(Change) + m_spans.size() * sizeof(Span));
}
