#include "platform/SjisText.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString fromSjis(const QByteArray &bytes)
{
    QStringDecoder decoder("CP932");
    return decoder.decode(bytes);
}

QByteArray toSjis(const QString &text)
{
    QStringEncoder encoder("CP932");
    return encoder.encode(text);
}
