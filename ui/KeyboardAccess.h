#pragma once

#include <QRect>

class QWidget;

// Keyboard and screen reader access to the window's controls.
namespace KeyboardAccess
{

// Sets the Tab order of every control under `client` to reading order: area by area, each
// container's children by rows from the top and, within a row, from the left; a tab widget's
// tab bar before its pages. Elements placed outside `visibleArea` (client coordinates: the
// widest window's client area) take no focus at all, and item views are left by Tab instead of
// walking their cells.
void orderTabStops(QWidget *client, const QRect &visibleArea);

// Gives every button under `root` that shows only a picture its hint text as the name screen
// readers read, unless it has a name already.
void nameButtonsByHint(QWidget *root);

} // namespace KeyboardAccess
