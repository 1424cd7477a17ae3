#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <vector>

// A recording of the monitor line: what the window received from the unit and the key frames it
// sent, each with the wall-clock time it was read or sent.
//
// File layout (a pcap file, so tcpdump and Wireshark open it): link type DLT_USER0 (147),
// microsecond time stamps; each record is one direction byte (0x00 received from the unit, 0x01
// sent to it) followed by the bytes, received bytes read within LineRecording::kJoinWindowUs of
// the record's time joined into one record.
//
// Reading keeps the whole recording in memory (about a third more than the file), so files are
// refused above kMaxFileSize. A record cut off at the end (the recording was interrupted) is
// ignored; so is everything after a damaged record, the records before it are kept.
//
// Thread contract: load() may run on any thread; a loaded recording is read-only and may be
// shared between threads.
class LineRecording
{
public:
    static constexpr int kLinkType = 147; // DLT_USER0
    static constexpr unsigned char kReceived = 0x00;
    static constexpr unsigned char kSent = 0x01;
    static constexpr int kSnapLength = 65535;
    static constexpr qint64 kJoinWindowUs = 1000;
    static constexpr qint64 kMaxFileSize = 512LL * 1024 * 1024;

    // A run of received bytes: they were read at timeUs; they end at end in received().
    struct Chunk {
        qint64 timeUs;
        qsizetype end;
    };
    struct SentFrame {
        qint64 timeUs;
        QByteArray bytes;
    };

    // Reads a recording. Throws EFOpenError with a message for the user when the file cannot be
    // read or is not a recording of this line. progress (0..100) is called now and then; when
    // cancel becomes true the load ends early by throwing Cancelled.
    struct Cancelled {
    };
    static LineRecording load(const QString &path, const std::atomic<bool> *cancel = nullptr,
                              const std::function<void(int percent)> &progress = {});

    const QByteArray &received() const { return m_received; }
    const std::vector<Chunk> &chunks() const { return m_chunks; }
    const std::vector<SentFrame> &sent() const { return m_sent; }
    qsizetype chunkBegin(std::size_t i) const { return i == 0 ? 0 : m_chunks[i - 1].end; }

    // Time of the first and last record (0 when there is none).
    qint64 startUs() const { return m_startUs; }
    qint64 endUs() const { return m_endUs; }
    // Set when reading stopped before the end of the file: why (a cut-off last record, or
    // damage), in the user's words.
    const QString &damage() const { return m_damage; }

    // Builds a recording in memory (tests, benchmarks).
    void appendReceived(qint64 timeUs, const QByteArray &bytes);
    void appendSent(qint64 timeUs, const QByteArray &bytes);

private:
    void noteTime(qint64 timeUs);

    QByteArray m_received;
    std::vector<Chunk> m_chunks;
    std::vector<SentFrame> m_sent;
    qint64 m_startUs = 0;
    qint64 m_endUs = 0;
    bool m_any = false;
    QString m_damage;
};
