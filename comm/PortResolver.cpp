#include "comm/PortResolver.h"

#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

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

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

} // namespace

QStringList PortResolver::findSerialDevices(const QString &devDir, const QString &sysTtyDir)
{
    const QStringList names =
        QDir(devDir).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    QStringList out;
    for (const QString &n : numbered(names, QStringLiteral("ttyS"))) {
        if (isRealUart(sysTtyDir, n))
            out.append(devDir + QLatin1Char('/') + n);
    }
    for (const QString &prefix : {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM")}) {
        for (const QString &n : numbered(names, prefix))
            out.append(devDir + QLatin1Char('/') + n);
    }
    return out;
}

QMap<int, QString> PortResolver::portMap(const QString &iniPath, const QStringList &foundDevices)
{
    QMap<int, QString> map;
    QStringList taken;
    const ProfileFile ini(iniPath);
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        const QString device =
            ini.readString(QStringLiteral("PORTS"), QStringLiteral("COM%1").arg(port), QString())
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

QString PortResolver::deviceFor(int portNo, const QString &iniPath, const QStringList &foundDevices)
{
    return portMap(iniPath, foundDevices).value(portNo);
}

std::function<QString(int)> PortResolver::resolverFor(const QString &iniPath, DeviceLister lister)
{
    if (!lister)
        lister = [] { return findSerialDevices(); };
    return [iniPath, lister](int portNo) { return deviceFor(portNo, iniPath, lister()); };
}
