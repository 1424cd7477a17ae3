#include "comm/SerialPortInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

QString attribute(const QDir &dir, const char *name)
{
    QFile f(dir.filePath(QString::fromLatin1(name)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(256)).trimmed();
}

} // namespace

SerialPortInfo::SerialPortInfo(const QString &path, const Roots &roots) : m_path(path)
{
    m_pathIsById = isByIdPath(path, roots);
    m_node = QFileInfo(path).canonicalFilePath();
    if (m_node.isEmpty())
        return;
    m_byId = m_pathIsById ? path : byIdPathFor(m_node, roots);

    // /sys/class/tty/<name>/device leads into the device tree; a USB adapter's tty sits below
    // its USB device (the one with an idVendor), with an interface or a usb-serial port between.
    const QString name = QFileInfo(m_node).fileName();
    const QString sys = QFileInfo(roots.sys).canonicalFilePath();
    if (sys.isEmpty())
        return;
    QString dir = QFileInfo(sys + QStringLiteral("/class/tty/") + name + QStringLiteral("/device"))
                      .canonicalFilePath();
    while (!dir.isEmpty() && dir.startsWith(sys + QLatin1Char('/'))) {
        const QDir d(dir);
        if (d.exists(QStringLiteral("idVendor"))) {
            m_usb = true;
            m_product = attribute(d, "product");
            m_manufacturer = attribute(d, "manufacturer");
            m_serial = attribute(d, "serial");
            return;
        }
        dir = QFileInfo(dir).path();
    }
}

QString SerialPortInfo::description() const
{
    // A by-id name says product and serial number in its own words; its folder says nothing.
    if (!exists())
        return QCoreApplication::translate("SerialPortInfo", "%1 (見つかりません)")
            .arg(m_pathIsById ? QFileInfo(m_path).fileName() : m_path);
    // A name of the user's own (a link in a folder of theirs) is shown with where it leads;
    // a by-id name is long and says no more than product and serial number below.
    QStringList parts{m_path == m_node || m_path == m_byId
                          ? m_node
                          : QStringLiteral("%1 → %2").arg(m_path, m_node)};
    if (m_usb) {
        const QString product = m_product.isEmpty() ? QStringLiteral("USB") : m_product;
        parts << product;
        if (!m_serial.isEmpty())
            parts << QStringLiteral("S/N %1").arg(m_serial);
    }
    return parts.join(QStringLiteral("  "));
}

bool SerialPortInfo::isByIdPath(const QString &path, const Roots &roots)
{
    return QFileInfo(path).absolutePath() == QDir(roots.byId).absolutePath();
}

QString SerialPortInfo::byIdPathFor(const QString &node, const Roots &roots)
{
    if (node.isEmpty())
        return {};
    const QDir dir(roots.byId);
    for (const QFileInfo &link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (link.isSymLink() && link.canonicalFilePath() == node)
            return link.filePath();
    }
    return {};
}
