#include "history/HistoryKey.h"

#include "link/BitAddress.h"

std::optional<HistoryKey> HistoryKey::forLine(int line, const QString &kind, const QString &addr,
                                              const QString &data, bool bitMode)
{
    if (line < 0 || line > 3 || kind.isEmpty() || kind == QLatin1String("--"))
        return std::nullopt;
    HistoryKey key;
    key.kind = kind;
    key.addrText = addr;
    const bool wordAddr = addr.startsWith(QLatin1Char('W'));
    const qint64 base = BitAddress::lineBase(addr, data, bitMode);
    if (bitMode) {
        key.first = base + 16 * line;
    } else {
        key.word = wordAddr;
        key.first = base;
    }
    return key;
}

QString HistoryKey::bitLabel(int bit) const
{
    if (word)
        return QStringLiteral("%1-%2").arg(first / 16).arg(bit);
    return QString::number(first + bit);
}
