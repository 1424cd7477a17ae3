#pragma once

#include <QByteArray>
#include <QObject>
#include <initializer_list>

struct FormContext;
class QAbstractButton;

// The unit's keys on the window: the key pad area (IN, OUT, ID, ERR, the hexadecimal keys, CLR,
// ENT, the arrows around ON, DATA) which it builds into the client area, and the handlers of
// every key. The keys the main window builds itself (btnINIT, btnMODE, btnENB on the tool strip)
// and the menu items of the mode and move menus are found by name and connected here, so that a
// button, its menu item and its shortcut all run the same handler.
//
// Every press ends in UnitLink::SendKey; nothing waits for an answer.
//
// Thread contract: window thread only.
class KeyPad : public QObject
{
    Q_OBJECT
public:
    // Builds the key pad area into ctx.client with the start-up enabled states and connects the
    // buttons and menu actions found by name under ctx.client and ctx.form.
    explicit KeyPad(FormContext &ctx, QObject *parent = nullptr);

    // Start-up enables the sixteen digit keys once; they stay enabled from then on.
    void enableDigitKeys();

    // Key states for a port that was just opened or closed.
    void portOpened();
    void portClosed();

    void btnINClick();
    void btnOUTClick();
    void btnIDClick();
    void btnERRClick();
    void btnDATAClick();
    // The hexadecimal keys btn0 .. btn15; digit is the key's value 0 .. 15.
    void btnDigitClick(int digit);
    void btnUPClick();
    void btnENBClick();
    void btnLEFTClick();
    void btnRIGHTClick();
    void btnMODEClick();
    void btnDOWNClick();
    void btnENTClick();
    void btnCLRClick();
    void btnONSETClick();
    void btnINITClick();

private:
    void build();
    void connectActions();
    QAbstractButton *button(const char *name) const;
    void setEnabled(std::initializer_list<const char *> names, bool on);
    // The モード and 移動 menus: usable or not, as their title items say.
    void setMenusEnabled(bool on);
    bool arrowsSwapped() const;

    FormContext &m_ctx;
};
