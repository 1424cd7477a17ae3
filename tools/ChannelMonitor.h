#pragma once

#include <QColor>
#include <QList>
#include <QObject>

class QButtonGroup;
class QLabel;
class QPushButton;
class QWidget;

// The eight-channel expansion monitor on the "8CH展開モニター" page: spreads the words of
// eight-channel units, one channel per word, into a column of eight value cells per display
// line, in the 13-bit or 12-bit word format, in decimal or hexadecimal.
//
// Thread contract: window thread only (fed by the display lines inside the receive event).
class ChannelMonitor : public QObject
{
    Q_OBJECT

public:
    // Builds the page's elements inside tabSheet2; the element lists stay empty until
    // fillLists(). elements is where fillLists() looks the elements up by name (the window's
    // client area); the page itself when none is given.
    explicit ChannelMonitor(QWidget *tabSheet2, const QWidget *elements = nullptr);

    // Finds stAD1..stAD4, chno0..chno7 and StaticText3..StaticText34 among the elements by their
    // composed names (the last start-up step). A name not found leaves its entry null.
    void fillLists();

    // One redrawn display line: line 0..3, its data text (four hexadecimal characters) and its
    // address text (a word address is "W" and two decimal digits).
    void UpdateChannelMonitor(int line, const QString &data, const QString &addr);

    // Sets all 32 value cells back to "******".
    void Button1Click();

    // The word format chosen in FormatSel: the 12-bit one (item 1), else the 13-bit one.
    bool twelveBitFormat() const;

    const QList<QLabel *> &stAD() const { return m_stAD; }
    const QList<QLabel *> &chno() const { return m_chno; }
    const QList<QLabel *> &StaticText() const { return m_staticText; }

signals:
    // Another word format was chosen; the cells shown keep their text until the next update.
    void formatChanged();

private:
    QLabel *findLabel(const QString &name) const;

    const QWidget *m_elements = nullptr;
    QButtonGroup *m_format = nullptr;
    QButtonGroup *m_radix = nullptr;
    QColor m_labelColor;

    QList<QLabel *> m_stAD;
    QList<QLabel *> m_chno;
    QList<QLabel *> m_staticText;
};
