#pragma once

#include "link/CommPort.h"
#include "link/LineRecording.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

// Plays a recording's received bytes to the window as a live line would: receive() stands for
// the serial port's OnReceive (sender, bytes waiting) and port() for the port the receiver then
// reads them from with ReadChar. The port sends nothing.
//
// Speed 1 and 10 keep the recorded timing (ten times faster); speed 0 plays as fast as the
// receiver takes it. Fast playing and seeking run in steps of at most kStepMs on the window
// thread, so the window stays usable. A seek replays from the start (rewound() first, so the
// display can be reset) up to the chosen time as fast as possible, which leaves the display
// exactly as playing through would have left it.
//
// Thread contract: window thread only.
class ReplayPlayer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStepMs = 20;

    explicit ReplayPlayer(std::shared_ptr<const LineRecording> recording,
                          QObject *parent = nullptr);

    CommPort &port() { return m_port; }
    const LineRecording &recording() const { return *m_recording; }

    void play();
    void pause();
    bool isPlaying() const { return m_playing; }
    // 1, 10, or 0 for as fast as possible.
    void setSpeed(int speed);
    int speed() const { return m_speed; }
    // Plays up to timeUs (recorded time) as fast as possible, from the start when that lies
    // behind, in steps; playing or pause stays as it was once it is there (positionChanged).
    void seek(qint64 timeUs);
    bool isSeeking() const { return m_seekTo >= 0; }

    // Recorded time of the last chunk delivered (startUs before the first).
    qint64 positionUs() const;
    bool atEnd() const { return m_next >= m_recording->chunks().size(); }
    // Chunks delivered so far.
    std::size_t delivered() const { return m_next; }

signals:
    void receive(QObject *sender, int receiveSize);
    void rewound();
    void positionChanged(qint64 timeUs);
    void finished();
    void stateChanged();

private:
    class Port : public CommPort
    {
    public:
        explicit Port(const LineRecording &recording)
            : m_bytes(recording.received()), m_chunks(recording.chunks())
        {
        }
        bool SendString(const QByteArray &) override { return false; }
        int ReadChar() override
        {
            if (m_read >= m_available)
                return -1;
            // Reads only go forward, so the chunk of the byte read follows from the last one.
            while (m_chunk < m_chunks.size() && m_chunks[m_chunk].end <= m_read)
                ++m_chunk;
            return static_cast<unsigned char>(m_bytes[m_read++]);
        }
        bool isOpen() const override { return false; }
        qint64 recordedTimeUs() const override
        {
            return m_read > 0 && m_chunk < m_chunks.size() ? m_chunks[m_chunk].timeUs : -1;
        }
        int waiting() const { return int(m_available - m_read); }
        void makeAvailable(qsizetype end) { m_available = end; }
        void rewind()
        {
            m_read = m_available = 0;
            m_chunk = 0;
        }

    private:
        const QByteArray &m_bytes;
        const std::vector<LineRecording::Chunk> &m_chunks;
        qsizetype m_read = 0;
        qsizetype m_available = 0;
        std::size_t m_chunk = 0;
    };

    void rewind();
    void step();
    void deliverUpTo(std::size_t chunk);
    void drain();
    void anchor();
    void schedule();

    std::shared_ptr<const LineRecording> m_recording;
    Port m_port;
    std::size_t m_next = 0;
    bool m_playing = false;
    int m_speed = 1;
    qint64 m_seekTo = -1;
    QTimer m_timer;
    QElapsedTimer m_wall; // since m_anchorUs was the position
    qint64 m_anchorUs = 0;
};
