#include "record/ReplayPlayer.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <limits>

namespace
{

// Fast delivery hands the receiver this much at a time, as a busy line would.
constexpr qsizetype kFastBurst = 512;

} // namespace

ReplayPlayer::ReplayPlayer(std::shared_ptr<const LineRecording> recording, QObject *parent)
    : QObject(parent), m_recording(std::move(recording)), m_port(*m_recording)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplayPlayer::step);
    m_anchorUs = m_recording->startUs();
}

qint64 ReplayPlayer::positionUs() const
{
    return m_next == 0 ? m_recording->startUs() : m_recording->chunks()[m_next - 1].timeUs;
}

void ReplayPlayer::play()
{
    if (atEnd() && m_seekTo < 0)
        rewind();
    m_playing = true;
    anchor();
    schedule();
    emit stateChanged();
}

void ReplayPlayer::pause()
{
    m_playing = false;
    if (m_seekTo < 0)
        m_timer.stop();
    emit stateChanged();
}

void ReplayPlayer::setSpeed(int speed)
{
    m_speed = speed == 10 || speed == 0 ? speed : 1;
    anchor();
    if (m_playing && m_seekTo < 0)
        schedule();
}

void ReplayPlayer::seek(qint64 timeUs)
{
    if (timeUs < positionUs())
        rewind();
    m_seekTo = timeUs;
    m_timer.start(0);
}

void ReplayPlayer::rewind()
{
    m_port.rewind();
    m_next = 0;
    emit rewound();
}

void ReplayPlayer::anchor()
{
    m_anchorUs = positionUs();
    m_wall.start();
}

void ReplayPlayer::deliverUpTo(std::size_t chunk)
{
    const auto &chunks = m_recording->chunks();
    if (chunk > chunks.size())
        chunk = chunks.size();
    if (chunk <= m_next)
        return;
    m_next = chunk;
    m_port.makeAvailable(chunks[chunk - 1].end);
    if (m_port.waiting() > 0)
        emit receive(this, m_port.waiting());
}

void ReplayPlayer::drain()
{
    // Bytes a bad frame left unread wait for the next delivery, as on the line; at the end
    // there is none, so they are offered until the receiver takes no more.
    for (int left = m_port.waiting(); left > 0;) {
        emit receive(this, left);
        const int now = m_port.waiting();
        if (now >= left)
            break;
        left = now;
    }
}

void ReplayPlayer::step()
{
    const auto &chunks = m_recording->chunks();
    const QDeadlineTimer deadline(kStepMs);
    const bool fast = m_seekTo >= 0 || m_speed == 0;
    if (fast) {
        const qint64 limit = m_seekTo >= 0 ? m_seekTo : std::numeric_limits<qint64>::max();
        while (m_next < chunks.size() && chunks[m_next].timeUs <= limit && !deadline.hasExpired()) {
            // Whole chunks, about kFastBurst bytes at a time.
            std::size_t upTo = m_next;
            const qsizetype from = m_recording->chunkBegin(m_next);
            while (upTo < chunks.size() && chunks[upTo].timeUs <= limit &&
                   chunks[upTo].end - from < kFastBurst)
                ++upTo;
            deliverUpTo(std::max(upTo, m_next + 1));
        }
        const bool reached = m_next >= chunks.size() || chunks[m_next].timeUs > limit;
        if (!reached) {
            emit positionChanged(positionUs());
            m_timer.start(0);
            return;
        }
        if (m_seekTo >= 0) {
            m_seekTo = -1;
            if (atEnd())
                drain();
            emit positionChanged(positionUs());
            anchor();
            if (m_playing && !atEnd())
                schedule();
            else if (m_playing) {
                m_playing = false;
                emit stateChanged();
                emit finished();
            }
            return;
        }
    } else {
        const qint64 now = m_anchorUs + m_wall.nsecsElapsed() / 1000 * m_speed;
        std::size_t upTo = m_next;
        while (upTo < chunks.size() && chunks[upTo].timeUs <= now)
            ++upTo;
        deliverUpTo(upTo);
    }
    emit positionChanged(positionUs());
    if (atEnd()) {
        drain();
        m_playing = false;
        emit stateChanged();
        emit finished();
        return;
    }
    schedule();
}

void ReplayPlayer::schedule()
{
    if (!m_playing || m_seekTo >= 0)
        return;
    if (m_speed == 0 || atEnd()) {
        m_timer.start(0);
        return;
    }
    const qint64 dueUs = (m_recording->chunks()[m_next].timeUs - m_anchorUs) / m_speed;
    const qint64 waitMs = dueUs / 1000 - m_wall.elapsed();
    m_timer.start(int(std::clamp<qint64>(waitMs, 0, 1000)));
}
