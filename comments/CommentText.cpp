#include "comments/CommentText.h"

#include <QStringEncoder>

namespace CommentText
{

char16_t lookAlike(char16_t c)
{
    switch (c) {
    case 0x301C: // WAVE DASH
        return 0xFF5E;
    case 0x2212: // MINUS SIGN
        return 0xFF0D;
    case 0x2016: // DOUBLE VERTICAL LINE
        return 0x2225;
    case 0x2014: // EM DASH
        return 0x2015;
    case 0x00A2: // CENT SIGN
        return 0xFFE0;
    case 0x00A3: // POUND SIGN
        return 0xFFE1;
    case 0x00AC: // NOT SIGN
        return 0xFFE2;
    case 0x00A6: // BROKEN BAR
        return 0xFFE4;
    case 0x00A5: // YEN SIGN: the single-byte yen of code page 932
        return 0x005C;
    case 0x203E: // OVERLINE: the single-byte overline of code page 932
        return 0x007E;
    default:
        return c;
    }
}

QString mapLookAlikes(QString text)
{
    for (QChar &c : text)
        c = QChar(lookAlike(c.unicode()));
    return text;
}

namespace
{

bool encodes(QStringView text)
{
    QStringEncoder encoder("CP932");
    const QByteArray bytes = encoder.encode(text);
    return !encoder.hasError();
}

} // namespace

qsizetype firstUnencodable(QStringView text, bool allowReplacement)
{
    auto holdable = [allowReplacement](QStringView part) {
        if (allowReplacement && part.size() == 1 && part.at(0) == QChar::ReplacementCharacter)
            return true;
        return encodes(part);
    };
    // One encoder run over the whole text settles the usual case; only a text with a fault is
    // walked character by character to find it.
    if (!text.contains(QChar::ReplacementCharacter) && encodes(text))
        return -1;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (!holdable(text.mid(i, n)))
            return i;
        i += n;
    }
    return -1;
}

QString describeCharacter(QStringView text, qsizetype i)
{
    if (i < 0 || i >= text.size())
        return QString();
    char32_t code = text.at(i).unicode();
    qsizetype n = 1;
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
        n = 2;
    }
    return QStringLiteral("'%1' (U+%2)")
        .arg(text.mid(i, n).toString(),
             QStringLiteral("%1").arg(quint32(code), 4, 16, QLatin1Char('0')).toUpper());
}

} // namespace CommentText
