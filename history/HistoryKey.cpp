#include "history/HistoryKey.h"

#include "platform/Exceptions.h"

std::optional<HistoryKey> HistoryKey::forLine(int line, const QString &kind, const QString &addr,
                                              const QString &data, bool bitMode)
{
    if (line < 0 || line > 3 || kind.isEmpty() || kind == QLatin1String("--"))
        return std::nullopt;
    HistoryKey key;
    key.kind = kind;
    key.addrText = addr;
    const bool wordAddr = addr.startsWith(QLatin1Char('W'));
    qint64 base = 0;
    if (addr.size() >= 3 && addr.at(2) == QLatin1Char(' '))
        base = 0;
    else if (data.startsWith(QLatin1Char('R')))
        base = 0;
    else if (wordAddr)
        base = 16 * qint64(StrToIntDef(addr.mid(1, 2), 0));
    else {
        base = StrToIntDef(addr, 0);
        if (bitMode)
            base = 64 * (base / 64);
    }
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
