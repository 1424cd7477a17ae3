#include "history/HistoryRecorder.h"

#include "history/HistoryKey.h"
#include "history/HistoryStore.h"
#include "link/DisplayLineModel.h"
#include "link/DisplayLineTexts.h"

#include <QDateTime>

namespace
{

// Bit j of the lamp states is bit 15 - j of the word.
quint16 wordOf(const QString &data)
{
    const quint16 lamps = DisplayLineModel::lampStates(data);
    quint16 word = 0;
    for (int j = 0; j < 16; ++j) {
        if ((lamps >> j) & 1)
            word |= quint16(1u << (15 - j));
    }
    return word;
}

} // namespace

HistoryRecorder::HistoryRecorder(HistoryStore &store, const DisplayLineTexts &lines,
                                 QObject *parent)
    : QObject(parent), m_store(store), m_lines(lines)
{
    clock = [] { return QDateTime::currentMSecsSinceEpoch() * 1000; };
    connect(&lines, &DisplayLineTexts::lineChanged, this, &HistoryRecorder::lineChanged);
    connect(&lines, &DisplayLineTexts::frameTaken, this, &HistoryRecorder::frameTaken);
}

void HistoryRecorder::restart()
{
    m_store.clear();
    m_shown.fill(-1);
    emit cleared();
}

void HistoryRecorder::lineChanged(int line)
{
    if (line < 0 || line >= int(m_shown.size()))
        return;
    qint64 t = clock();
    const QString data = m_lines.data(line);
    const auto key = HistoryKey::forLine(line, m_lines.kind(line), m_lines.addr(line), data,
                                         bitMode && bitMode());
    const int index = key ? m_store.keyOf(*key, line) : -1;
    if (index < 0) {
        // A line that stops showing the unit after it went silent (a disconnect, the end of a
        // replay) ends where the unit was last heard, not when the window noticed.
        const qint64 last = m_store.lastFrameUs();
        if (last >= 0 && t - last > HistoryStore::kGapUs)
            t = last;
    }
    const int before = m_shown[std::size_t(line)];
    const qsizetype size = m_store.size();
    const quint64 dropped = m_store.dropped();
    if (before >= 0 && before != index) {
        // The key may still stand on another line.
        bool elsewhere = false;
        for (int other = 0; other < int(m_shown.size()); ++other)
            elsewhere = elsewhere || (other != line && m_shown[std::size_t(other)] == before);
        if (!elsewhere)
            m_store.hide(t, before);
    }
    m_shown[std::size_t(line)] = index;
    if (index >= 0)
        m_store.record(t, index, line, wordOf(data));
    if (m_store.size() != size || m_store.dropped() != dropped)
        emit added();
}

void HistoryRecorder::frameTaken()
{
    m_store.frame(clock());
    emit added();
}
