#include "comm/PortResolver.h"

#include "comm/PortHolders_p.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <sys/sysmacros.h>

namespace
{

// Names matching prefix + number, in number order (ttyS2 before ttyS10).
QStringList numbered(const QStringList &names, const QString &prefix)
{
    const QRegularExpression re(QStringLiteral("^%1(\\d+)$").arg(prefix));
    QList<std::pair<int, QString>> found;
    for (const QString &n : names) {
        const auto m = re.match(n);
        if (m.hasMatch())
            found.append({m.captured(1).toInt(), n});
    }
    std::sort(found.begin(), found.end());
    QStringList out;
    for (const auto &f : found)
        out.append(f.second);
    return out;
}

bool isRealUart(const QString &sysTtyDir, const QString &name)
{
    const QString base = sysTtyDir + QLatin1Char('/') + name;
    if (!QFileInfo::exists(base + QStringLiteral("/device")))
        return false;
    QFile type(base + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return true; // a driver that does not tell its type has a device behind it
    return type.readAll().trimmed() != "0";
}

// The tty names sysfs gives as the kernel's active consoles ("tty0 ttyS0").
QStringList consoles(const QString &sysTtyDir)
{
    QFile active(sysTtyDir + QStringLiteral("/console/active"));
    if (!active.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(active.readAll())
        .simplified()
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The device number sysfs gives for a tty ("4:65"), 0 when unknown.
quint64 deviceNumber(const QString &sysTtyDir, const QString &name)
{
    QFile dev(sysTtyDir + QLatin1Char('/') + name + QStringLiteral("/dev"));
    if (!dev.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = dev.readAll().trimmed().split(':');
    if (parts.size() != 2)
        return 0;
    return quint64(makedev(parts.at(0).toUInt(), parts.at(1).toUInt()));
}

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

} // namespace

QStringList PortResolver::findSerialDevices(const QString &devDir, const QString &sysTtyDir,
                                            const QString &procDir)
{
    const QStringList names =
        QDir(devDir).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    QStringList candidates;
    for (const QString &n : numbered(names, QStringLiteral("ttyS"))) {
        if (isRealUart(sysTtyDir, n))
            candidates.append(n);
    }
    for (const QString &prefix : {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM")})
        candidates += numbered(names, prefix);

    // The console carries the kernel's messages and a getty's line a login prompt: a monitor
    // unit has no place on either, and opening one would mix its bytes with theirs.
    const QStringList console = consoles(sysTtyDir);
    const QSet<quint64> gettys = PortHolders::gettyTerminals(procDir);
    QStringList out;
    for (const QString &n : std::as_const(candidates)) {
        if (console.contains(n))
            continue;
        const quint64 number = gettys.isEmpty() ? 0 : deviceNumber(sysTtyDir, n);
        if (number != 0 && gettys.contains(number))
            continue;
        out.append(devDir + QLatin1Char('/') + n);
    }
    return out;
}

QMap<int, QString> PortResolver::portMap(const QString &iniPath, const QStringList &foundDevices,
                                         const Overrides &overrides)
{
    QMap<int, QString> map;
    QStringList taken;
    const ProfileFile ini(iniPath);
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        const QString device = overrides.contains(port)
                                   ? overrides.value(port)
                                   : ini.readString(QStringLiteral("PORTS"),
                                                    QStringLiteral("COM%1").arg(port), QString())
                                         .trimmed();
        if (!device.isEmpty()) {
            map.insert(port, device);
            taken.append(canonical(device));
        }
    }
    int next = kFirstPort;
    for (const QString &device : foundDevices) {
        if (taken.contains(canonical(device)))
            continue;
        while (next <= kLastPort && map.contains(next))
            ++next;
        if (next > kLastPort)
            break;
        map.insert(next, device);
        taken.append(canonical(device));
    }
    return map;
}

QString PortResolver::deviceFor(int portNo, const QString &iniPath, const QStringList &foundDevices,
                                const Overrides &overrides)
{
    return portMap(iniPath, foundDevices, overrides).value(portNo);
}

std::function<QString(int)> PortResolver::resolverFor(const QString &iniPath, DeviceLister lister,
                                                      Overrides overrides)
{
    if (!lister)
        lister = [] { return findSerialDevices(); };
    return [iniPath, lister, overrides](int portNo) {
        return deviceFor(portNo, iniPath, lister(), overrides);
    };
}

std::pair<int, QString> PortResolver::parseOverride(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^COM(\\d{1,2})=(.+)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    const int port = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (port < kFirstPort || port > kLastPort || m.captured(2).trimmed().isEmpty())
        return {0, QString()};
    return {port, m.captured(2).trimmed()};
}
