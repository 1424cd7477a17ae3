#include "link/BitAddress.h"

#include "platform/Exceptions.h"

namespace BitAddress
{

qint64 lineBase(const QString &addr, const QString &data, bool bitMode)
{
    if (addr.size() >= 3 && addr.at(2) == QLatin1Char(' '))
        return 0;
    if (data.startsWith(QLatin1Char('R')))
        return 0;
    if (addr.startsWith(QLatin1Char('W')))
        return 16 * qint64(StrToIntDef(addr.mid(1, 2), 0));
    const qint64 base = StrToIntDef(addr, 0);
    return bitMode ? 64 * (base / 64) : base;
}

} // namespace BitAddress
