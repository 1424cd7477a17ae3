#include "link/DisplayLineModel.h"

#include "platform/Exceptions.h"

#include <QCoreApplication>

quint16 DisplayLineModel::lampStates(const QString &data)
{
    quint16 states = 0;
    for (int i = 0; i < 4 && i < data.size(); ++i) {
        const char16_t c = data.at(i).unicode();
        int value = -1;
        if (c >= u'0' && c <= u'9')
            value = c - u'0';
        else if (c >= u'A' && c <= u'F')
            value = c - u'A' + 10;
        if (value < 0)
            continue;
        for (int k = 3; k >= 0; --k) {
            if (value & (1 << k))
                states |= quint16(1u << (4 * i + (3 - k)));
        }
    }
    return states;
}

QString DisplayLineModel::bitRangeText(const QString &addr1)
{
    if (addr1.startsWith(u'W'))
        return QString();
    const int a = StrToInt(addr1);
    const int lo = (a / 64) * 64;
    return QCoreApplication::translate("DisplayLineModel", "%1 ～ %2").arg(lo).arg(lo + 63);
}

bool DisplayLineModel::needsRefresh(int line, const QString &data, const QString &kind,
                                    const QString &addr, int curLine) const
{
    return data != LastLineData[line] || kind != LastLineKind[line] || addr != LastLineAddr[line] ||
           LastCurLine != curLine;
}

void DisplayLineModel::remember(int line, const QString &data, const QString &kind,
                                const QString &addr, int curLine)
{
    LastLineData[line] = data;
    LastLineKind[line] = kind;
    LastLineAddr[line] = addr;
    LastCurLine = curLine;
}
