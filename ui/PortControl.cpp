#include "ui/PortControl.h"

#include "comm/CommX.h"
#include "comm/DeviceReturnWatch.h"
#include "comm/NetworkAddress.h"
#include "comm/PortResolver.h"
#include "comm/SerialPortInfo.h"
#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/widgets/ErrorGuard.h"
#include "ui/DisplayLines.h"
#include "ui/FormContext.h"
#include "ui/KeyPad.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QStatusBar>

namespace
{

// Our own settings, beside the sections the window's settings use.
const QString kOwnSection = QStringLiteral("QXWATCH");
const QString kAutoReconnectKey = QStringLiteral("AutoReconnect");
// The caption an item has by design; what it shows beside it follows a tab.
const char kCaptionProperty[] = "qxCaption";
// What an item shows beside its caption is cut (in the middle) to this width: a menu grows by
// about twice its widest text.
constexpr int kDescriptionWidth = 400;

QString portTitle(int port)
{
    return QCoreApplication::translate("PortControl", "QXモニター[COM%1]").arg(port);
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
                         QActionGroup &portItems, SettingsFile settings,
                         QMap<int, QString> portOverrides, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_comm(comm), m_keys(keys), m_lines(lines),
      m_portItems(portItems), m_settings(std::move(settings)), m_overrides(std::move(portOverrides))
{
    for (QAction *item : m_portItems.actions())
        connect(item, &QAction::triggered, this, [this, item] { COM011Click(item); });
    connect(&m_comm, &TCustomCommX::OnReceive, &m_lines, &DisplayLines::RecPkt);
    connect(&m_comm, &TCustomCommX::OnError, this, &PortControl::CommXError);
    connect(&m_comm, &TCustomCommX::OnDeviceLost, this, &PortControl::deviceLost);
    connect(&m_comm, &TCustomCommX::OnConnecting, this, [this](QObject *, const QString &address) {
        if (m_ctx.statusBar)
            m_ctx.statusBar->showMessage(tr("COM%1 (%2) に接続しています… (切断で取り消せます)")
                                             .arg(m_selectedPort)
                                             .arg(address));
    });
    // A reconnect opens the very device that went away, whatever the number resolves to now.
    m_comm.setPortResolver([this, resolve = PortResolver::resolverFor(m_settings.path(), {},
                                                                      m_overrides)](int port) {
        return !m_pinnedDevice.isEmpty() && port == m_selectedPort ? m_pinnedDevice : resolve(port);
    });

    if (auto *open = m_ctx.element<QAbstractButton>("OpenButton"))
        connect(open, &QAbstractButton::clicked, this,
                guarded(this, &PortControl::OpenButtonClick));
    if (auto *close = m_ctx.element<QAbstractButton>("CloseButton"))
        connect(close, &QAbstractButton::clicked, this, &PortControl::CloseButtonClick);
    if (auto *item = m_ctx.form->findChild<QAction *>("MenuFileConnect"))
        connect(item, &QAction::triggered, this, guarded(this, &PortControl::OpenButtonClick));
    if (auto *item = m_ctx.form->findChild<QAction *>("MenuFileDisconnect"))
        connect(item, &QAction::triggered, this, &PortControl::CloseButtonClick);

    m_autoReconnect = m_ctx.form->findChild<QAction *>("MenuFileAutoReconnect");
    if (!m_autoReconnect)
        m_autoReconnect = new QAction(this);
    m_autoReconnect->setCheckable(true);
    m_autoReconnect->setChecked(
        ProfileFile(m_settings.path()).readInt(kOwnSection, kAutoReconnectKey, 1) != 0);
    connect(m_autoReconnect, &QAction::triggered, this,
            [this](bool on) { runGuarded([&] { setAutoReconnect(on); }); });
}

PortControl::~PortControl() = default;

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
    stopWaiting();
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
        m_ctx.statusBar->showMessage(tr("接続ボタンを押してください"));
}

void PortControl::OpenButtonClick()
{
    // A connect under way (a network unit) is not started twice.
    if (m_comm.isConnecting())
        return;
    stopWaiting();
    try {
        connectPort();
    } catch (const ECommError &) {
        // The error box shows the component's message and why; the status bar says why too.
        if (m_ctx.statusBar)
            m_ctx.statusBar->showMessage(m_comm.lastOpenFailure().text());
        // A connect the user gave up by disconnecting is no error.
        if (m_comm.lastOpenFailure().reason == CommFailure::Reason::Cancelled)
            return;
        throw;
    }
    if (m_ctx.statusBar)
        m_ctx.statusBar->clearMessage();
}

void PortControl::connectPort()
{
    m_comm.setPortNo(m_selectedPort);
    m_lines.resetForConnect();
    m_comm.Open();
    m_openDevice = m_comm.deviceName();
    switchControls(true);
}

void PortControl::CloseButtonClick()
{
    stopWaiting();
    disconnectPort();
}

void PortControl::disconnectPort()
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
    const bool wait = autoReconnect() && !m_comm.lastDeviceAddress().isEmpty();
    m_lostMessage = wait ? tr("COM%1 (%2) との接続が失われました。デバイスが戻ると自動的に"
                              "再接続します")
                               .arg(m_selectedPort)
                               .arg(device)
                         : tr("COM%1 (%2) との接続が失われました。デバイスを確かめて、もう"
                              "一度接続してください")
                               .arg(m_selectedPort)
                               .arg(device);
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(m_lostMessage);
    if (!wait)
        return;
    m_returnWatch =
        DeviceReturnWatch::create(m_comm.lastDeviceAddress(), m_comm.lastDeviceIdentity(), this);
    connect(m_returnWatch, &DeviceReturnWatch::mayBeBack, this, &PortControl::tryReconnect);
}

void PortControl::tryReconnect()
{
    if (!m_returnWatch || m_comm.isOpen() || m_comm.isConnecting())
        return;
    m_pinnedDevice = m_returnWatch->address();
    try {
        connectPort();
    } catch (const ECommError &) {
        // Still settling (permissions, a link ahead of its node) or taken by another program
        // meanwhile: the watch tries again a little later, then waits for the next change. A
        // network connect waits with the window going on, so the user may have stopped the
        // waiting meanwhile.
        m_pinnedDevice.clear();
        if (m_returnWatch) {
            m_returnWatch->retryLater();
            // A network try said it was connecting; the port is still waited for.
            if (m_ctx.statusBar)
                m_ctx.statusBar->showMessage(m_lostMessage);
        }
        return;
    }
    m_pinnedDevice.clear();
    stopWaiting();
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(
            tr("COM%1 (%2) に再接続しました").arg(m_selectedPort).arg(m_openDevice));
}

void PortControl::stopWaiting()
{
    if (!m_returnWatch)
        return;
    // The watch may be the one telling us right now (its notice led to the reconnect).
    m_returnWatch->disconnect(this);
    m_returnWatch->deleteLater();
    m_returnWatch = nullptr;
}

bool PortControl::autoReconnect() const
{
    return m_autoReconnect->isChecked();
}

void PortControl::setAutoReconnect(bool on)
{
    m_autoReconnect->setChecked(on);
    if (!on)
        stopWaiting();
    if (m_settings.write({{kOwnSection, kAutoReconnectKey, QString::number(on ? 1 : 0)}}).isNull())
        throw EFCreateError(tr("%1 に書き込めません").arg(m_settings.path()));
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
    emit connectionChanged(connected);
}

void PortControl::updatePortTips()
{
    const QMap<int, QString> map =
        PortResolver::portMap(m_settings.path(), PortResolver::findSerialDevices(), m_overrides);
    const auto *menu = m_ctx.form->findChild<QMenu *>("P1");
    const QFontMetrics metrics(menu ? menu->font() : m_ctx.form->font());
    for (QAction *item : m_portItems.actions()) {
        if (!item->property(kCaptionProperty).isValid())
            item->setProperty(kCaptionProperty, item->text());
        const QString caption = item->property(kCaptionProperty).toString();
        const int port = item->objectName().mid(3, 2).toInt();
        if (map.contains(port)) {
            // A network unit is shown by its address, as it was written.
            const QString address = map.value(port);
            const QString description = metrics.elidedText(
                NetworkAddress::looksLikeNetwork(address) ? address
                                                          : SerialPortInfo(address).description(),
                Qt::ElideMiddle, kDescriptionWidth);
            item->setText(caption + QLatin1Char('\t') + description);
            item->setStatusTip(map.value(port));
        } else {
            item->setText(caption + tr("\t(デバイスなし)"));
            item->setStatusTip(tr("COM%1 にはデバイスがありません").arg(port));
        }
    }
}
