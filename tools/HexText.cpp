#include "tools/HexText.h"

std::optional<int> hexTextValue(const QString &text)
{
    // Seven digits keep every value inside a 32-bit int.
    if (text.isEmpty() || text.size() > 7)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}
