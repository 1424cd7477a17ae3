#include "record/RecordingCsv.h"

#include "link/DisplayFrame.h"
#include "link/DisplayLineModel.h"
#include "link/FrameSync.h"
#include "link/KeyCodes.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"

#include <QCoreApplication>
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
QByteArray field(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r'))
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

// "yyyy-MM-dd HH:mm:ss.uuuuuu" in local time; the date and time of a second are worked out
// once per second of the recording (the conversion to local time is the slow part).
class TimeText
{
public:
    void append(QByteArray &out, qint64 timeUs)
    {
        const qint64 second = timeUs >= 0 ? timeUs / 1000000 : (timeUs - 999999) / 1000000;
        if (second != m_second || m_prefix.isEmpty()) {
            m_second = second;
            m_prefix = QDateTime::fromSecsSinceEpoch(second)
                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss."))
                           .toLatin1();
        }
        out += m_prefix;
        const qint64 micro = timeUs - second * 1000000;
        char digits[7];
        for (int i = 5, v = int(micro); i >= 0; --i, v /= 10)
            digits[i] = char('0' + v % 10);
        digits[6] = 0;
        out += digits;
    }

private:
    qint64 m_second = 0;
    QByteArray m_prefix;
};

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
    QByteArray out = "\xEF\xBB\xBF" + header().toUtf8() + "\r\n";
    qsizetype count = 0;
    std::array<Line, 4> lines;
    FrameSync sync;
    TimeText time;
    const QByteArray &bytes = recording.received();
    qsizetype at = 0;
    for (const LineRecording::Chunk &chunk : recording.chunks()) {
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
            time.append(out, chunk.timeUs);
            out += ',';
            out += char('1' + f.line);
            out += ',' + field(now.kind) + ',' + field(now.addr) + ',' + field(now.data);
            const quint16 lamps = DisplayLineModel::lampStates(now.data);
            char bits[32];
            for (int j = 0; j < 16; ++j) {
                bits[2 * j] = ',';
                bits[2 * j + 1] = (lamps >> j) & 1 ? '1' : '0';
            }
            out.append(bits, sizeof bits);
            const bool isWord = now.addr.size() == 3 && now.addr.at(0) == u'W' &&
                                now.addr.at(1).isDigit() && now.addr.at(2).isDigit();
            if (isWord) {
                bool ok = false;
                unsigned v = now.data.toUInt(&ok, 16);
                if (!ok || v > 0xFFFF)
                    v = 0;
                out += ',' + QByteArray::number(v >> 13) + ',' + QByteArray::number(v & 0x1FFF) +
                       ',' + QByteArray::number((v >> 12) & 7) + ',' +
                       QByteArray::number(v & 0xFFF);
            } else {
                out += ",,,,";
            }
            out += "\r\n";
        }
    }
    if (rows)
        *rows = count;
    return out;
}

qsizetype RecordingCsv::write(const LineRecording &recording, const QString &path)
{
    qsizetype rows = 0;
    const QByteArray csv = text(recording, &rows);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        throw EFCreateError(
            QCoreApplication::translate("RecordingCsv", "ファイル %1 を作成できません").arg(path),
            file.errorString());
    return rows;
}
