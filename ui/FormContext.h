#pragma once

#include "comments/CommentTables.h"
#include "link/CommPort.h"

#include <QList>
#include <QString>
#include <QWidget>

class QStatusBar;

// The small state the main window's areas share. TForm1 owns one and hands it by reference to
// each area (key pad, bit panel, ...). Window thread only.
struct FormContext {
    // The serial port the keys send through: CommX1 in the program, a fake in tests.
    CommPort *port = nullptr;

    // Unit state from the last good display frame.
    bool DebugMode = false;
    bool BitMode = false;

    // Bit order of the bit panel, "R" (bit 0 at the right) or "L".
    QString BitOrder = QStringLiteral("R");

    // The client area: parent of every element, origin of every element position.
    QWidget *client = nullptr;
    QStatusBar *statusBar = nullptr;

    CommentTables comments;

    // The numbered display elements, filled at start-up by composing names (304 slots, a slot
    // stays null when its element is missing).
    QList<QWidget *> ControlTable;

    template <class T>
    T *element(const QString &name) const
    {
        return client ? client->findChild<T *>(name) : nullptr;
    }
};
