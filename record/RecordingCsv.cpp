#include "record/RecordingCsv.h"

#include "link/DisplayFrame.h"
#include "link/DisplayLineModel.h"
#include "link/FrameSync.h"
#include "link/KeyCodes.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"

#include <QDateTime>
#include <QSaveFile>

#include <array>

namespace
{

// As the display lines show frame bytes: ASCII from a working unit, Shift-JIS otherwise.
QString frameText(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return fromSjis(bytes);
    }
    return QString::fromLatin1(bytes);
}

// A field that a spreadsheet takes as it is: quoted when it holds a comma, quote or line end.
QString field(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString timeText(qint64 timeUs)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(timeUs / 1000);
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
           QStringLiteral("%1").arg(timeUs % 1000, 3, 10, QLatin1Char('0'));
}

struct Line {
    QString kind = QStringLiteral("--");
    QString addr = QStringLiteral("000");
    QString data = QStringLiteral("0000");
};

} // namespace

QString RecordingCsv::header()
{
    QString h = QStringLiteral("時刻,行,種別,アドレス,データ");
    for (int b = 15; b >= 0; --b)
        h += QStringLiteral(",b%1").arg(b);
    return h + QStringLiteral(",CH(13ビット),値(13ビット),CH(12ビット),値(12ビット)");
}

QByteArray RecordingCsv::text(const LineRecording &recording, qsizetype *rows)
{
    QString out = QStringLiteral("\uFEFF") + header() + QStringLiteral("\r\n");
    qsizetype count = 0;
    std::array<Line, 4> lines;
    FrameSync sync;
    const QByteArray &bytes = recording.received();
    const auto &chunks = recording.chunks();
    qsizetype at = 0;
    for (const LineRecording::Chunk &chunk : chunks) {
        for (; at < chunk.end; ++at) {
            if (sync.push(static_cast<unsigned char>(bytes[at])) != FrameSync::Verdict::Good)
                continue;
            const DisplayFrame f = DisplayFrame::decode(sync.frameData());
            sync.clearText();
            Line now{KeyCodes::kindText(f.kind), frameText(f.addr), frameText(f.data)};
            Line &was = lines[std::size_t(f.line)];
            if (now.kind == was.kind && now.addr == was.addr && now.data == was.data)
                continue;
            was = now;
            ++count;
            QString row = timeText(chunk.timeUs) + u',' + QString::number(f.line + 1) + u',' +
                          field(now.kind) + u',' + field(now.addr) + u',' + field(now.data);
            const quint16 lamps = DisplayLineModel::lampStates(now.data);
            for (int j = 0; j < 16; ++j)
                row += (lamps >> j) & 1 ? QStringLiteral(",1") : QStringLiteral(",0");
            bool isWord = now.addr.size() == 3 && now.addr.at(0) == u'W' &&
                          now.addr.at(1).isDigit() && now.addr.at(2).isDigit();
            if (isWord) {
                bool ok = false;
                unsigned v = now.data.toUInt(&ok, 16);
                if (!ok || v > 0xFFFF)
                    v = 0;
                row += QStringLiteral(",%1,%2,%3,%4")
                           .arg(v >> 13)
                           .arg(v & 0x1FFF)
                           .arg((v >> 12) & 7)
                           .arg(v & 0xFFF);
            } else {
                row += QStringLiteral(",,,,");
            }
            out += row + QStringLiteral("\r\n");
        }
    }
    if (rows)
        *rows = count;
    return out.toUtf8();
}

qsizetype RecordingCsv::write(const LineRecording &recording, const QString &path)
{
    qsizetype rows = 0;
    const QByteArray csv = text(recording, &rows);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        throw EFCreateError(QStringLiteral("ファイル %1 を作成できません").arg(path),
                            file.errorString());
    return rows;
}
