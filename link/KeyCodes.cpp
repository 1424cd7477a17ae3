#include "link/KeyCodes.h"

#include "platform/SjisText.h"

namespace KeyCodes
{

QByteArray digit(int value)
{
    if (value < 0 || value >= kDigitCount)
        return {};
    return QByteArray::number(kFirstDigitCode + value).rightJustified(2, '0');
}

std::optional<int> digitOf(const QByteArray &code)
{
    if (code.size() != 2 || code.at(0) < '0' || code.at(0) > '9' || code.at(1) < '0' ||
        code.at(1) > '9')
        return std::nullopt;
    const int value = (code.at(0) - '0') * 10 + (code.at(1) - '0') - kFirstDigitCode;
    if (value < 0 || value >= kDigitCount)
        return std::nullopt;
    return value;
}

QLatin1String kindName(char kind)
{
    static constexpr const char *kNames[] = {"IN", "OUT", "ERR", "ID", "OWT", "IWT", "EID", "ER#"};
    if (kind < Kind::In || kind > Kind::ErrCount)
        return {};
    return QLatin1String(kNames[kind - Kind::In]);
}

QString kindText(char kind)
{
    const QLatin1String name = kindName(kind);
    if (!name.isEmpty())
        return QString(name);
    // A byte of 0x80 and above reads as Shift-JIS, as the address and data bytes beside it do
    // (0xB1 is the half-width katakana "ｱ").
    const QByteArray byte(1, kind);
    return static_cast<unsigned char>(kind) >= 0x80 ? fromSjis(byte) : QString::fromLatin1(byte);
}

} // namespace KeyCodes
