#include "record/LineRecorder.h"

#include "link/LineRecording.h"
#include "platform/Exceptions.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <pcap/pcap.h>
#include <thread>

namespace
{

// One record in the hand-off buffer: header, then the direction byte and the bytes, so that
// what pcap_dump takes lies in one piece.
struct PendingHeader {
    qint64 timeUs;
    quint32 length; // direction byte + bytes
};

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

struct LineRecorder::Shared {
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable finishedCv;
    QByteArray pending;
    qsizetype openRecord = -1; // offset of the received record still being joined, or -1
    qint64 openRecordUs = 0;
    bool stop = false;
    bool finished = false;
    QString error; // set by the writer when a write failed; the writer has then ended

    pcap_t *dead = nullptr;
    pcap_dumper_t *dumper = nullptr;

    ~Shared()
    {
        if (dumper)
            pcap_dump_close(dumper);
        if (dead)
            pcap_close(dead);
    }

    // Writer thread: takes the pending records until stopped or a write fails.
    void run()
    {
        using Clock = std::chrono::steady_clock;
        QByteArray batch;
        auto lastFlush = Clock::now();
        bool unflushed = false;
        for (;;) {
            bool stopping;
            {
                std::unique_lock<std::mutex> l(lock);
                wake.wait_for(l, std::chrono::milliseconds(kWritePeriodMs),
                              [this] { return stop; });
                batch.swap(pending);
                openRecord = -1;
                stopping = stop;
            }
            const char *p = batch.constData();
            const char *end = p + batch.size();
            while (p < end) {
                PendingHeader h;
                std::memcpy(&h, p, sizeof h);
                p += sizeof h;
                pcap_pkthdr ph{};
                ph.ts.tv_sec = time_t(h.timeUs / 1000000);
                ph.ts.tv_usec = suseconds_t(h.timeUs % 1000000);
                ph.caplen = ph.len = h.length;
                pcap_dump(reinterpret_cast<u_char *>(dumper), &ph,
                          reinterpret_cast<const u_char *>(p));
                p += h.length;
                unflushed = true;
            }
            batch.clear();
            const auto now = Clock::now();
            QString failure;
            if (unflushed &&
                (stopping || now - lastFlush >= std::chrono::milliseconds(kFlushPeriodMs))) {
                errno = 0;
                std::FILE *f = pcap_dump_file(dumper);
                if (pcap_dump_flush(dumper) != 0 || std::ferror(f))
                    failure = errnoText(errno ? errno : EIO);
                lastFlush = now;
                unflushed = false;
            }
            if (!failure.isEmpty() || stopping) {
                pcap_dump_close(dumper);
                dumper = nullptr;
                std::lock_guard<std::mutex> l(lock);
                error = failure;
                finished = true;
                finishedCv.notify_all();
                return;
            }
        }
    }
};

LineRecorder::LineRecorder(QObject *parent) : QObject(parent)
{
    m_check.setInterval(kFlushPeriodMs);
    connect(&m_check, &QTimer::timeout, this, &LineRecorder::checkWriter);
}

LineRecorder::~LineRecorder()
{
    stop();
}

qint64 LineRecorder::nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void LineRecorder::start(const QString &path)
{
    stop();
    auto shared = std::make_shared<Shared>();
    // Opened here, not by name in libpcap: "-" would be standard output there.
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        throw EFCreateError(tr("ファイル %1 を作成できません").arg(path), errnoText(errno));
    shared->dead = pcap_open_dead_with_tstamp_precision(
        LineRecording::kLinkType, LineRecording::kSnapLength, PCAP_TSTAMP_PRECISION_MICRO);
    shared->dumper = shared->dead ? pcap_dump_fopen(shared->dead, file) : nullptr;
    if (!shared->dumper) {
        std::fclose(file);
        throw EFCreateError(tr("ファイル %1 を作成できません").arg(path),
                            shared->dead ? QString::fromLocal8Bit(pcap_geterr(shared->dead))
                                         : QString());
    }
    errno = 0;
    if (pcap_dump_flush(shared->dumper) != 0)
        throw EFCreateError(tr("ファイル %1 に書き込めません").arg(path),
                            errnoText(errno ? errno : EIO));

    std::thread([shared] { shared->run(); }).detach();
    m_shared = std::move(shared);
    m_path = path;
    m_startUs = nowUs();
    m_bytes = 0;
    m_check.start();
}

void LineRecorder::stop()
{
    if (!m_shared)
        return;
    m_check.stop();
    std::shared_ptr<Shared> shared = std::move(m_shared);
    std::unique_lock<std::mutex> l(shared->lock);
    shared->stop = true;
    shared->wake.notify_all();
    // The writer holds its own reference: should the disk hang, it ends whenever it can.
    shared->finishedCv.wait_for(l, std::chrono::milliseconds(kStopWaitMs),
                                [&] { return shared->finished; });
}

void LineRecorder::fail(const QString &reason)
{
    stop();
    emit failed(reason);
}

void LineRecorder::checkWriter()
{
    if (!m_shared)
        return;
    QString error;
    {
        std::lock_guard<std::mutex> l(m_shared->lock);
        if (m_shared->finished)
            error = m_shared->error.isEmpty() ? tr("書き込みが終わりました") : m_shared->error;
    }
    if (!error.isEmpty())
        fail(tr("%1 への記録を止めました: %2").arg(m_path, error));
}

qint64 LineRecorder::recordedUs() const
{
    return m_shared ? nowUs() - m_startUs : 0;
}

void LineRecorder::received(const char *bytes, qsizetype count, qint64 timeUs)
{
    append(LineRecording::kReceived, bytes, count, timeUs);
}

void LineRecorder::sent(const QByteArray &frame, qint64 timeUs)
{
    append(LineRecording::kSent, frame.constData(), frame.size(), timeUs);
}

void LineRecorder::append(unsigned char direction, const char *bytes, qsizetype count,
                          qint64 timeUs)
{
    if (!m_shared || count <= 0)
        return;
    m_bytes += quint64(count);
    bool overflow = false;
    {
        std::lock_guard<std::mutex> l(m_shared->lock);
        QByteArray &pending = m_shared->pending;
        constexpr qsizetype kMaxRecord = LineRecording::kSnapLength - 1;
        const qsizetype open = m_shared->openRecord;
        PendingHeader h;
        if (open >= 0)
            std::memcpy(&h, pending.constData() + open, sizeof h);
        if (direction == LineRecording::kReceived && open >= 0 &&
            timeUs - m_shared->openRecordUs < LineRecording::kJoinWindowUs &&
            h.length - 1 + count <= kMaxRecord) {
            h.length += quint32(count);
            std::memcpy(pending.data() + open, &h, sizeof h);
            pending.append(bytes, count);
        } else {
            // A longer run goes out in records of at most kMaxRecord bytes.
            while (count > 0) {
                const qsizetype part = std::min(count, kMaxRecord);
                h = {timeUs, quint32(part + 1)};
                m_shared->openRecord = direction == LineRecording::kReceived ? pending.size() : -1;
                m_shared->openRecordUs = timeUs;
                pending.append(reinterpret_cast<const char *>(&h), sizeof h);
                pending.append(char(direction));
                pending.append(bytes, part);
                bytes += part;
                count -= part;
            }
        }
        overflow = pending.size() > kMaxPending;
    }
    if (overflow)
        fail(tr("%1 への書き込みが追いつかないため、記録を止めました").arg(m_path));
}
