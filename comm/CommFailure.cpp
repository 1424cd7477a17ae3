#include "comm/CommFailure.h"

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace
{

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString holderText(const CommFailure::Holder &h)
{
    QStringList parts;
    if (h.kind == CommFailure::Holder::Kind::Exclusive)
        parts << QCoreApplication::translate("CommFailure", "排他モード");
    if (!h.command.isEmpty())
        parts << h.command;
    if (h.pid > 0)
        parts << QStringLiteral("PID %1").arg(h.pid);
    if (!h.lockFile.isEmpty())
        parts << QCoreApplication::translate("CommFailure", "ロックファイル %1").arg(h.lockFile);
    return parts.isEmpty() ? QString()
                           : QStringLiteral(" (%1)").arg(
                                 parts.join(QCoreApplication::translate("CommFailure", "、")));
}

} // namespace

CommFailure::Reason CommFailure::reasonFor(int err)
{
    switch (err) {
    case 0:
        return Reason::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Reason::NoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS:
        return Reason::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return Reason::Busy;
    case EIO:
    case EPIPE:
    case ESHUTDOWN:
        return Reason::Gone;
    case ENOTTY:
        return Reason::NotSerial;
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
        return Reason::Gone;
    case ECONNREFUSED:
        return Reason::Refused;
    case ETIMEDOUT:
        return Reason::TimedOut;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
        return Reason::Unreachable;
    default:
        return Reason::Other;
    }
}

bool CommFailure::meansGone(Reason reason)
{
    switch (reason) {
    case Reason::Gone:
    case Reason::NoSuchDevice:
    case Reason::Refused:
    case Reason::TimedOut:
    case Reason::Unreachable:
        return true;
    default:
        return false;
    }
}

QString CommFailure::text() const
{
    const QString portName = port > 0 ? QStringLiteral("COM%1").arg(port) : device;
    const QString prefix =
        port > 0 && !device.isEmpty() ? portName + QStringLiteral(": ") : QString();
    switch (reason) {
    case Reason::None:
        return QString();
    case Reason::NoDeviceForPort:
        return QCoreApplication::translate(
                   "CommFailure", "%1 にはデバイスがありません (設定ファイルの [PORTS] で %1= に "
                                  "デバイスを指定できます)")
            .arg(portName);
    case Reason::NoSuchDevice:
        return prefix + QCoreApplication::translate("CommFailure", "%1 がありません").arg(device);
    case Reason::PermissionDenied:
        return prefix +
               QCoreApplication::translate(
                   "CommFailure", "%1 を開く権限がありません (dialout グループに参加してください)")
                   .arg(device);
    case Reason::Busy:
        return prefix +
               QCoreApplication::translate("CommFailure", "%1 は他のプログラムが使用中です")
                   .arg(device) +
               holderText(holder);
    case Reason::NotSerial:
        return prefix +
               QCoreApplication::translate("CommFailure", "%1 はシリアルポートではありません")
                   .arg(device);
    case Reason::Gone:
        return prefix + QCoreApplication::translate("CommFailure", "%1 が応答しません (%2)")
                            .arg(device, systemText(error));
    case Reason::HostNotFound:
        return prefix + QCoreApplication::translate("CommFailure", "%1 のホストが見つかりません")
                            .arg(device);
    case Reason::Refused:
        return prefix + QCoreApplication::translate(
                            "CommFailure", "%1 に接続を拒否されました (サーバーが動いていないか、"
                                           "ポート番号が違います)")
                            .arg(device);
    case Reason::TimedOut:
        return prefix + QCoreApplication::translate(
                            "CommFailure", "%1 から時間内に応答がありませんでした (時間切れ)")
                            .arg(device);
    case Reason::Unreachable:
        return prefix +
               QCoreApplication::translate("CommFailure", "%1 のネットワークに到達できません (%2)")
                   .arg(device, systemText(error));
    case Reason::Protocol:
        return prefix + QCoreApplication::translate(
                            "CommFailure", "%1 は RFC 2217 (COM-PORT-OPTION) に応じませんでした")
                            .arg(device);
    case Reason::Cancelled:
        return prefix + QCoreApplication::translate("CommFailure", "%1 への接続を取り消しました")
                            .arg(device);
    case Reason::Other:
        break;
    }
    // A setting that ends in a number or a unit stands apart from the particle after it.
    const QString what = !setting.isEmpty() && setting.back().unicode() < 0x80
                             ? setting + QLatin1Char(' ')
                             : setting;
    if (!setting.isEmpty() && dropped)
        return prefix + (device.contains(QStringLiteral("://"))
                             ? QCoreApplication::translate(
                                   "CommFailure", "%1 のサーバーは%2を受け付けませんでした")
                             : QCoreApplication::translate(
                                   "CommFailure", "%1 のドライバーは%2を受け付けませんでした"))
                            .arg(device, what);
    if (!setting.isEmpty() && error != 0)
        return prefix +
               QCoreApplication::translate("CommFailure", "%1 で%2を設定できませんでした (%3)")
                   .arg(device, what, systemText(error));
    if (!setting.isEmpty())
        return prefix + QCoreApplication::translate("CommFailure", "%1 で%2を設定できませんでした")
                            .arg(device, what);
    if (error != 0)
        return prefix + QStringLiteral("%1 (%2)").arg(device, systemText(error));
    return prefix + device;
}
