#include "history/HistoryCsv.h"

#include "history/ChannelTrends.h"
#include "history/HistoryStore.h"
#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"

#include <QDateTime>

namespace
{

QString timeText(qint64 us)
{
    return QDateTime::fromMSecsSinceEpoch(us / 1000).toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString field(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void addRow(QString &out, qint64 us, const HistoryKey &key, const QString &which,
            const QString &value)
{
    out += timeText(us) + u',' + field(key.kind) + u',' + field(key.addrText) + u',' +
           field(which) + u',' + value + QStringLiteral("\r\n");
}

QString bitName(const HistoryKey &key, int bit)
{
    return QStringLiteral("b%1(%2)").arg(bit).arg(key.bitLabel(bit));
}

void addWhole(QString &out, qint64 us, const HistoryKey &key, quint16 value, bool twelveBit)
{
    for (int b = 0; b < 16; ++b)
        addRow(out, us, key, bitName(key, b), QString::number((value >> b) & 1));
    if (key.word)
        addRow(out, us, key, QStringLiteral("ch%1").arg(ChannelTrends::channelOf(value, twelveBit)),
               QString::number(ChannelTrends::valueOf(value, twelveBit)));
}

} // namespace

QString HistoryCsv::text(const HistoryStore &store, qint64 startUs, qint64 endUs, bool twelveBit)
{
    QString out = QStringLiteral("時刻,種別,アドレス,ビット/チャンネル,値\r\n");
    const qsizetype i0 = store.lowerBound(startUs);
    const qsizetype i1 = store.lowerBound(endUs + 1);
    std::vector<HistoryStore::State> states = store.statesBefore(i0);
    for (int k = 0; k < store.keyCount(); ++k) {
        const HistoryStore::State &s = states[std::size_t(k)];
        if (s.shown)
            addWhole(out, startUs, store.key(k), s.value, twelveBit);
    }
    for (qsizetype i = i0; i < i1; ++i) {
        const HistoryStore::Change &c = store.at(i);
        HistoryStore::State &s = states[c.key];
        const HistoryKey &key = store.key(int(c.key));
        if (!c.shown) {
            addRow(out, c.timeUs, key, QString(), QString());
        } else if (!s.shown) {
            addWhole(out, c.timeUs, key, c.value, twelveBit);
        } else {
            for (int b = 0; b < 16; ++b) {
                if (((s.value ^ c.value) >> b) & 1)
                    addRow(out, c.timeUs, key, bitName(key, b),
                           QString::number((c.value >> b) & 1));
            }
            if (key.word)
                addRow(out, c.timeUs, key,
                       QStringLiteral("ch%1").arg(ChannelTrends::channelOf(c.value, twelveBit)),
                       QString::number(ChannelTrends::valueOf(c.value, twelveBit)));
        }
        s.shown = c.shown != 0;
        s.value = c.value;
    }
    return out;
}

void HistoryCsv::write(const QString &path, const HistoryStore &store, qint64 startUs, qint64 endUs,
                       bool twelveBit)
{
    const QByteArray bytes = "\xEF\xBB\xBF" + text(store, startUs, endUs, twelveBit).toUtf8();
    const AtomicFile::Result result = AtomicFile::replace(path, bytes);
    if (!result)
        throw EFCreateError(AtomicFile::problem(path, result));
}
