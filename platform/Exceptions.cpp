#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <limits>
#include <optional>

Exception::Exception(QString message, QString detail)
    : m_message(std::move(message)), m_detail(std::move(detail)), m_utf8(m_message.toUtf8())
{
}

namespace
{

std::optional<int> parseDecimal(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return int(value);
}

} // namespace

int StrToInt(const QString &text)
{
    if (const auto v = parseDecimal(text))
        return *v;
    throw EConvertError(
        QCoreApplication::translate("Exceptions", "'%1' は整数ではありません").arg(text));
}

int StrToIntDef(const QString &text, int def)
{
    return parseDecimal(text).value_or(def);
}

QString errorBoxText(const QString &message, const QString &detail)
{
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        text += QLatin1Char('.');
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    return text;
}
