#pragma once

#include <QObject>
#include <QString>

// The four display lines as the unit last showed them, read-only: each line's kind text, its
// three address characters and four data characters, and the line that holds the unit's
// cursor. The window's display lines implement it by reading their own elements, so whatever
// those show is what every reader sees.
//
// lineChanged(line) follows every change of a line's kind, address or data text, whatever made
// it (a display frame, the blank start-up state, a disconnect), after the line has been drawn.
// frameTaken() follows every good display frame, changed or not, once it has been drawn: it
// tells a unit that repeats an unchanged display from one that has gone silent.
//
// Thread contract: window thread only.
class DisplayLineTexts : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLines = 4;

    using QObject::QObject;

    // Line 0..3; an empty text for any other line.
    virtual QString kind(int line) const = 0;
    virtual QString addr(int line) const = 0;
    virtual QString data(int line) const = 0;
    // The line 0..3 that holds the unit's cursor.
    virtual int CurLine() const = 0;

signals:
    void lineChanged(int line);
    void frameTaken();
};
