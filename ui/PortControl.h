#pragma once

#include <QObject>
#include <QString>

struct FormContext;
class DisplayLines;
class KeyPad;
class QAction;
class QActionGroup;
class TCommX;

// Port choice and connection: the Port menu, connect and disconnect, the controls they switch,
// the window title naming the port, and what the user is told when a port cannot be opened or
// goes away.
//
// Thread contract: window thread only.
class PortControl : public QObject
{
    Q_OBJECT
public:
    PortControl(FormContext &ctx, TCommX &comm, KeyPad &keys, DisplayLines &lines,
                QActionGroup &portItems, QString settingsPath, QObject *parent = nullptr);

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

    // The device went away while open (adapter unplugged): disconnect, once, without a box.
    void deviceLost();

    // Each Port menu item names its device in its status tip, worked out afresh.
    void updatePortTips();

    static QString portItemName(int port);

private:
    void switchControls(bool connected);
    QString openFailureHint() const;

    FormContext &m_ctx;
    TCommX &m_comm;
    KeyPad &m_keys;
    DisplayLines &m_lines;
    QActionGroup &m_portItems;
    QString m_settingsPath;
    int m_selectedPort = 1;
    QString m_openDevice; // the device of the open connection, for the lost-port message
};
