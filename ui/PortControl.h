#pragma once

#include "platform/SettingsFile.h"

#include <QMap>
#include <QObject>
#include <QString>

struct FormContext;
class DeviceReturnWatch;
class DisplayLines;
class KeyPad;
class QAction;
class QActionGroup;
class TCommX;

// Port choice and connection: the Port menu, connect and disconnect, the controls they switch,
// the window title naming the port, and what the user is told when a port cannot be opened or
// goes away. A port whose device went away is connected again by itself when the same device
// comes back, unless the user turned that off (File menu, remembered in the settings file's
// own section [QXWATCH]) or disconnected by hand.
//
// Thread contract: window thread only.
class PortControl : public QObject
{
    Q_OBJECT
public:
    // settings: where [PORTS] and our own choices are read, and the choices written (falling
    // back as the window's settings do). portOverrides: devices given for this run only (the
    // command line), before [PORTS].
    PortControl(FormContext &ctx, TCommX &comm, KeyPad &keys, DisplayLines &lines,
                QActionGroup &portItems, SettingsFile settings,
                QMap<int, QString> portOverrides = {}, QObject *parent = nullptr);
    ~PortControl() override;

    int SelectedPort() const { return m_selectedPort; }
    // Start-up: takes the saved port, checks its menu item (none for a number outside 1..16) and
    // puts it into the title.
    void applySavedPort(int port);

    void COM011Click(QAction *sender);
    void ShowSelectedPort();
    void OpenButtonClick();
    void CloseButtonClick();
    // Line errors reach the receiver as bytes; its checks drop the damaged frames.
    void CommXError(QObject *, int) {}

    // The device went away while open (adapter unplugged): disconnect, once, without a box, and
    // wait for it to come back.
    void deviceLost();
    // True while a lost device is waited for.
    bool waitingForReturn() const { return m_returnWatch != nullptr; }

    bool autoReconnect() const;
    // Turns the reconnect on or off and writes the choice to the settings file; throws
    // EFCreateError when the file cannot take it (the choice holds for this run).
    void setAutoReconnect(bool on);

    // Each Port menu item shows, beside its number, what stands behind it, and names its device
    // in its status tip; worked out afresh.
    void updatePortTips();

    static QString portItemName(int port);

signals:
    // A port was opened (true) or closed (false).
    void connectionChanged(bool connected);

private:
    void connectPort();
    void disconnectPort();
    void stopWaiting();
    void tryReconnect();
    void switchControls(bool connected);

    FormContext &m_ctx;
    TCommX &m_comm;
    KeyPad &m_keys;
    DisplayLines &m_lines;
    QActionGroup &m_portItems;
    SettingsFile m_settings;
    QMap<int, QString> m_overrides;
    int m_selectedPort = 1;
    QString m_openDevice; // the device of the open connection, for the lost-port message
    QAction *m_autoReconnect = nullptr;
    DeviceReturnWatch *m_returnWatch = nullptr;
    QString m_pinnedDevice; // while reconnecting: the device the selected port opens
    QString m_lostMessage;  // what the status bar says while a lost device is waited for
};
