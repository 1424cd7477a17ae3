#include "link/LineRecording.h"

#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <pcap/pcap.h>

static_assert(LineRecording::kLinkType == DLT_USER0);

namespace
{

struct PcapCloser {
    void operator()(pcap_t *p) const { pcap_close(p); }
};

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

void LineRecording::noteTime(qint64 timeUs)
{
    if (!m_any)
        m_startUs = timeUs;
    m_any = true;
    m_endUs = timeUs;
}

void LineRecording::appendReceived(qint64 timeUs, const QByteArray &bytes)
{
    noteTime(timeUs);
    m_received += bytes;
    m_chunks.push_back({timeUs, m_received.size()});
}

void LineRecording::appendSent(qint64 timeUs, const QByteArray &bytes)
{
    noteTime(timeUs);
    m_sent.push_back({timeUs, bytes});
}

LineRecording LineRecording::load(const QString &path, const std::atomic<bool> *cancel,
                                  const std::function<void(int percent)> &progress)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EFOpenError(
            QCoreApplication::translate("LineRecording", "ファイル %1 が見つかりません").arg(path));
    if (!info.isFile())
        throw EFOpenError(
            QCoreApplication::translate("LineRecording", "%1 は記録ファイルではありません")
                .arg(path));
    if (info.size() > kMaxFileSize)
        throw EFOpenError(QCoreApplication::translate(
                              "LineRecording", "%1 は大きすぎて開けません (%2 MB、上限 %3 MB)")
                              .arg(path)
                              .arg(info.size() / (1024 * 1024))
                              .arg(kMaxFileSize / (1024 * 1024)));
    // Opened here, not by name in libpcap: "-" would be standard input there.
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        throw EFOpenError(
            QCoreApplication::translate("LineRecording", "ファイル %1 を開けません").arg(path),
            errnoText());
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    std::unique_ptr<pcap_t, PcapCloser> pcap(pcap_fopen_offline(file, errbuf));
    if (!pcap) {
        std::fclose(file);
        throw EFOpenError(
            QCoreApplication::translate("LineRecording", "%1 は記録ファイル (pcap) ではありません")
                .arg(path),
            QString::fromLocal8Bit(errbuf));
    }
    if (pcap_datalink(pcap.get()) != kLinkType)
        throw EFOpenError(
            QCoreApplication::translate(
                "LineRecording", "%1 は QX 回線の記録ではありません (リンク種別 %2、記録は %3)")
                .arg(path)
                .arg(pcap_datalink(pcap.get()))
                .arg(kLinkType));

    LineRecording rec;
    const double size = double(std::max<qint64>(1, info.size()));
    std::FILE *stream = pcap_file(pcap.get());
    for (quint64 n = 0;; ++n) {
        if ((n & 0xFFF) == 0) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                throw Cancelled{};
            if (progress && stream)
                progress(int(100.0 * double(std::ftell(stream)) / size));
        }
        pcap_pkthdr *header = nullptr;
        const u_char *data = nullptr;
        const int got = pcap_next_ex(pcap.get(), &header, &data);
        if (got == PCAP_ERROR_BREAK || got == 0)
            break;
        if (got != 1) {
            // libpcap says "truncated dump file" for a record cut off by an interrupted
            // recording, and names the damage otherwise; what came before it stands.
            rec.m_damage = QString::fromLocal8Bit(pcap_geterr(pcap.get()));
            break;
        }
        const qint64 timeUs = qint64(header->ts.tv_sec) * 1000000 + header->ts.tv_usec;
        if (header->caplen < 1 || (data[0] != kReceived && data[0] != kSent)) {
            rec.m_damage =
                QCoreApplication::translate("LineRecording", "記録 %1 の向きが不明です").arg(n + 1);
            break;
        }
        const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, int(header->caplen) - 1);
        if (data[0] == kReceived)
            rec.appendReceived(timeUs, bytes);
        else
            rec.appendSent(timeUs, bytes);
    }
    if (progress)
        progress(100);
    return rec;
}
