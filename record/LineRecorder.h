#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

// Writes a recording of the line (the layout is LineRecording's) while the window runs.
//
// The window thread only appends to a hand-off buffer under a short lock; a writer thread takes
// the buffer every kWritePeriod, writes it with libpcap and flushes the file at least every
// kFlushPeriod, so a slow disk never holds up the receiver and a crash loses at most about a
// second. The hand-off is bounded (kMaxPending): should the writer fall that far behind, the
// recording stops rather than block or drop bytes silently. A write or flush that fails (disk
// full, device gone) stops the recording too. Either way failed() says why, on the window
// thread, and what was written stays readable.
//
// Thread contract: every member function on the thread the object lives on (the window's).
class LineRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int kWritePeriodMs = 100;
    static constexpr int kFlushPeriodMs = 250;
    static constexpr qsizetype kMaxPending = 16 * 1024 * 1024;

    explicit LineRecorder(QObject *parent = nullptr);
    ~LineRecorder() override; // stops

    // Creates (or replaces) path and starts recording. Throws EFCreateError when the file
    // cannot be created or its header written.
    void start(const QString &path);
    // Writes what is pending and closes the file. Waits at most kStopWaitMs for a writer stuck
    // on a hung disk; that writer then finishes on its own.
    void stop();
    static constexpr int kStopWaitMs = 2000;

    bool isRecording() const { return m_shared != nullptr; }
    const QString &path() const { return m_path; }

    // Bytes the window read from the line, and a key frame it sent; timeUs is wall-clock time
    // in microseconds since the epoch (nowUs() by default).
    void received(const char *bytes, qsizetype count, qint64 timeUs = nowUs());
    void sent(const QByteArray &frame, qint64 timeUs = nowUs());

    // Microseconds between the start and now; bytes handed over since the start.
    qint64 recordedUs() const;
    quint64 bytesRecorded() const { return m_bytes; }

    static qint64 nowUs();

signals:
    // The recording stopped by itself; reason is for the user.
    void failed(const QString &reason);

private:
    struct Shared;
    void append(unsigned char direction, const char *bytes, qsizetype count, qint64 timeUs);
    void checkWriter();
    void fail(const QString &reason);

    std::shared_ptr<Shared> m_shared;
    QString m_path;
    qint64 m_startUs = 0;
    quint64 m_bytes = 0;
    QTimer m_check;
};
