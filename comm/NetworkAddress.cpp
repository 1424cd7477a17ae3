#include "comm/NetworkAddress.h"

#include <QRegularExpression>

namespace
{

const QString kRaw = QStringLiteral("tcp://");
const QString kRfc2217 = QStringLiteral("rfc2217://");

} // namespace

bool NetworkAddress::looksLikeNetwork(const QString &address)
{
    return address.startsWith(kRaw, Qt::CaseInsensitive) ||
           address.startsWith(kRfc2217, Qt::CaseInsensitive);
}

NetworkAddress NetworkAddress::parse(const QString &address)
{
    static const QRegularExpression re(
        QStringLiteral(
            "^(tcp|rfc2217)://(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9._-]+)):(\\d{1,5})/?$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(address.trimmed());
    if (!m.hasMatch())
        return {};
    const uint port = m.captured(4).toUInt();
    if (port < 1 || port > 65535)
        return {};
    NetworkAddress a;
    a.protocol = m.captured(1).compare(QStringLiteral("tcp"), Qt::CaseInsensitive) == 0
                     ? Protocol::Raw
                     : Protocol::Rfc2217;
    a.host = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
    a.port = quint16(port);
    return a;
}

QString NetworkAddress::text() const
{
    if (!isValid())
        return {};
    const QString h = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return (protocol == Protocol::Raw ? kRaw : kRfc2217) + h + QLatin1Char(':') +
           QString::number(port);
}
