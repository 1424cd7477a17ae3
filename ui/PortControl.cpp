#include "ui/PortControl.h"

#include "comm/CommX.h"
#include "comm/PortResolver.h"
#include "platform/widgets/ErrorGuard.h"
#include "ui/DisplayLines.h"
#include "ui/FormContext.h"
#include "ui/KeyPad.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QStatusBar>
#include <cstring>

namespace
{

QString portTitle(int port)
{
    return QStringLiteral("QXモニター[COM%1]").arg(port);
}

void setActionEnabled(FormContext &ctx, const char *name, bool on)
{
    if (auto *action = ctx.form->findChild<QAction *>(name))
        action->setEnabled(on);
}

void setWidgetEnabled(FormContext &ctx, const char *name, bool on)
{
    if (auto *widget = ctx.element<QWidget>(name))
        widget->setEnabled(on);
}

} // namespace

PortControl::PortControl(FormContext &ctx, TCommX &comm, KeyPad &keys, DisplayLines &lines,
                         QActionGroup &portItems, QString settingsPath, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_comm(comm), m_keys(keys), m_lines(lines),
      m_portItems(portItems), m_settingsPath(std::move(settingsPath))
{
    for (QAction *item : m_portItems.actions())
        connect(item, &QAction::triggered, this, [this, item] { COM011Click(item); });
    connect(&m_comm, &TCustomCommX::OnReceive, &m_lines, &DisplayLines::RecPkt);
    connect(&m_comm, &TCustomCommX::OnError, this, &PortControl::CommXError);
    connect(&m_comm, &TCustomCommX::OnDeviceLost, this, &PortControl::deviceLost);
    m_comm.setPortResolver(PortResolver::resolverFor(m_settingsPath));

    if (auto *open = m_ctx.element<QAbstractButton>("OpenButton"))
        connect(open, &QAbstractButton::clicked, this,
                guarded(this, &PortControl::OpenButtonClick));
    if (auto *close = m_ctx.element<QAbstractButton>("CloseButton"))
        connect(close, &QAbstractButton::clicked, this, &PortControl::CloseButtonClick);
    if (auto *item = m_ctx.form->findChild<QAction *>("MenuFileConnect"))
        connect(item, &QAction::triggered, this, guarded(this, &PortControl::OpenButtonClick));
    if (auto *item = m_ctx.form->findChild<QAction *>("MenuFileDisconnect"))
        connect(item, &QAction::triggered, this, &PortControl::CloseButtonClick);
}

QString PortControl::portItemName(int port)
{
    return QStringLiteral("COM%1").arg(port, 2, 10, QLatin1Char('0')) + QLatin1Char('1');
}

void PortControl::applySavedPort(int port)
{
    m_selectedPort = port;
    const QString item = portItemName(port);
    for (QAction *action : m_portItems.actions())
        action->setChecked(action->objectName() == item);
    m_ctx.form->setWindowTitle(portTitle(port));
}

void PortControl::COM011Click(QAction *sender)
{
    if (sender)
        sender->setChecked(true);
    m_selectedPort = sender ? sender->objectName().mid(3, 2).toInt() : m_selectedPort;
    ShowSelectedPort();
}

void PortControl::ShowSelectedPort()
{
    setActionEnabled(m_ctx, "File1", true);
    setActionEnabled(m_ctx, "MenuMode", true);
    setActionEnabled(m_ctx, "GoTo1", true);
    m_ctx.form->setWindowTitle(portTitle(m_selectedPort));
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(QStringLiteral("接続ボタンを押してください"));
}

void PortControl::OpenButtonClick()
{
    m_comm.setPortNo(m_selectedPort);
    m_lines.resetForConnect();
    try {
        m_comm.Open();
    } catch (const ECommError &) {
        // The error box shows the component's message; the status bar says what to fix.
        if (m_ctx.statusBar)
            m_ctx.statusBar->showMessage(openFailureHint());
        throw;
    }
    m_openDevice = m_comm.deviceName();
    switchControls(true);
    if (m_ctx.statusBar)
        m_ctx.statusBar->clearMessage();
}

void PortControl::CloseButtonClick()
{
    m_comm.Close();
    m_lines.hideIndicator();
    switchControls(false);
    m_ctx.form->setWindowTitle(portTitle(m_selectedPort));
    m_lines.clearKinds();
}

void PortControl::deviceLost()
{
    const QString device = m_openDevice;
    CloseButtonClick();
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(
            QStringLiteral(
                "COM%1 (%2) との接続が失われました。デバイスを確かめて、もう一度接続してください")
                .arg(m_selectedPort)
                .arg(device));
}

void PortControl::switchControls(bool connected)
{
    setWidgetEnabled(m_ctx, "CloseButton", connected);
    setWidgetEnabled(m_ctx, "OpenButton", !connected);
    setActionEnabled(m_ctx, "MenuFileConnect", !connected);
    setActionEnabled(m_ctx, "MenuFileDisconnect", connected);
    if (connected) {
        m_keys.portOpened();
        setWidgetEnabled(m_ctx, "btnIDScan", true);
        setActionEnabled(m_ctx, "MenuMode", true);
        setActionEnabled(m_ctx, "GoTo1", true);
    } else {
        m_keys.portClosed();
    }
    setActionEnabled(m_ctx, "P1", !connected);
}

QString PortControl::openFailureHint() const
{
    const OpenFailure &failure = m_comm.lastOpenFailure();
    const QString port = QStringLiteral("COM%1").arg(m_selectedPort);
    switch (failure.reason) {
    case OpenFailure::Reason::NoDeviceForPort:
        return QStringLiteral("%1 にはデバイスがありません (設定ファイルの [PORTS] で %1= に "
                              "デバイスを指定できます)")
            .arg(port);
    case OpenFailure::Reason::NoSuchDevice:
        return QStringLiteral("%1: %2 がありません").arg(port, failure.device);
    case OpenFailure::Reason::PermissionDenied:
        return QStringLiteral("%1: %2 を開く権限がありません (dialout グループに参加してください)")
            .arg(port, failure.device);
    case OpenFailure::Reason::Busy:
        return QStringLiteral("%1: %2 は他のプログラムが使用中です").arg(port, failure.device);
    case OpenFailure::Reason::NotSerial:
        return QStringLiteral("%1: %2 はシリアルポートではありません").arg(port, failure.device);
    case OpenFailure::Reason::Other:
    case OpenFailure::Reason::None:
        break;
    }
    if (failure.device.isEmpty())
        return port;
    return QStringLiteral("%1: %2 (%3)")
        .arg(port, failure.device, QString::fromLocal8Bit(strerror(failure.error)));
}

void PortControl::updatePortTips()
{
    const QMap<int, QString> map =
        PortResolver::portMap(m_settingsPath, PortResolver::findSerialDevices());
    for (QAction *item : m_portItems.actions()) {
        const int port = item->objectName().mid(3, 2).toInt();
        item->setStatusTip(map.contains(port)
                               ? map.value(port)
                               : QStringLiteral("COM%1 にはデバイスがありません").arg(port));
    }
}
