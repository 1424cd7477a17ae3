#pragma once

#include "comments/CommentTables.h"
#include "link/UnitLink.h"
#include "ui/ControlTable.h"

#include <QString>
#include <QWidget>
#include <functional>

class QStatusBar;

// The small state the main window's areas share. TForm1 owns one and hands it by reference to
// each area (key pad, bit panel, ...). Window thread only.
struct FormContext {
    // The unit: the port the keys send through (CommX1 in the program, a fake in tests) and the
    // unit state from the last good display frame.
    UnitLink link;

    // Bit order of the bit panel, "R" (bit 0 at the right) or "L".
    QString BitOrder = QStringLiteral("R");

    // The main window (menu actions are its children, found by objectName) and its client area:
    // parent of every element, origin of every element position.
    QWidget *form = nullptr;
    QWidget *client = nullptr;
    QStatusBar *statusBar = nullptr;

    CommentTables comments;

    // Outer window size in the design's Windows pixels (frame and caption included, menu bar
    // outside the client area); TForm1 turns it into the client size.
    std::function<void(int width, int height)> setOuterSize;
    std::function<QSize()> outerSize;

    // The numbered display elements, filled at start-up.
    ::ControlTable ControlTable;

    template <class T> T *element(const QString &name) const
    {
        return client ? client->findChild<T *>(name) : nullptr;
    }
};
