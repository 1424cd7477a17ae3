#pragma once

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <array>
#include <chrono>

struct FormContext;
class ImageBox;
class QLabel;
class QLineEdit;
class QWidget;

// The 64-lamp bit panel: lamps Image0 .. Image63 in four rows of sixteen under the column labels
// Label2 .. Label17, the bit cursor, the help text, the frame around the lamps, and the hidden
// lamp pictures (GrnLED, DarkGrnLED, RedLED, DarkRedLED and the holders OnLed, OffLed). It places
// lamps and labels for the bit order, places the cursor for the unit's bit address, turns a lamp
// click into the unit's arrow keys, and fills the comment panel entries of a display line.
//
// The display line texts (IO1..4, Addr1..4, Data1..4) are read back from the elements the main
// window builds; the comment panel elements (Lab, CmntEdit, Image64 .. Image127) are found by
// name, or through ctx.ControlTable once it is filled. Missing elements are skipped.
//
// Thread contract: window thread only. MoveCursorToLamp processes window events while it waits
// for the unit, so other handlers (the display frame receiver above all) run inside it.
class BitPanel : public QObject
{
    Q_OBJECT
public:
    // Builds the panel's elements into ctx.client and connects btnLSB when the window has one.
    explicit BitPanel(FormContext &ctx, QObject *parent = nullptr);

    // Client pixel tables of the panel.
    static constexpr std::array<int, 4> RowTop{56, 80, 104, 128};
    static constexpr std::array<int, 16> ColLeft{392, 376, 360, 344, 328, 312, 296, 280,
                                                 256, 240, 224, 208, 192, 176, 160, 144};
    // The block bit that lamp k shows: the first lamp of a row shows the row's highest bit.
    static constexpr int LampBit(int lamp) { return 16 * (lamp / 16) + 15 - lamp % 16; }

    static constexpr QSize kLampSize{17, 17};
    // How long one arrow press of a lamp click waits for the unit to show a new cursor address.
    static constexpr std::chrono::milliseconds kAnswerTimeout{2000};

    // A 16 x 16 round lamp of the given colour on a black ground.
    static QPixmap lampPicture(const QColor &colour);

    // Places labels and lamps for a bit order: "L" puts bit 0 at the left, anything else at the
    // right. A BitOrder in the context that is neither "R" nor "L" becomes "R".
    void LayoutBitOrder(const QString &order);
    void btnLSBClick();
    // Puts the cursor on the lamp of bit (address mod 64); an address that is not a decimal
    // number (or is negative) leaves it where it is.
    void PlaceBitCursor(const QString &addr);
    void bitLEDClick(ImageBox *lamp);
    // Moves the unit's cursor to the bit of lamp lampNumber (0 .. 63) by arrow key presses, each
    // sent once the unit has shown the result of the one before. Ignored outside bit mode under
    // debug, and while a move is already running. Stops with a status bar message when the unit
    // does not answer within kAnswerTimeout or the port closes; stops without a word, sending no
    // further key, when the program hides its window (close, File "終了(&X)").
    void MoveCursorToLamp(int lampNumber);
    void BitCursorClick();
    // Fills the sixteen comment panel entries of display line 0 .. 3.
    void ShowCommentLine(int line);

    // Connects the clicks of every lamp Image0 .. Image127 that exists; a comment panel lamp
    // Image(64 + k) is given the lamp number k of the main lamp it copies. Call again after the
    // comment panels are built; a lamp is never connected twice.
    void connectLamps();

    bool isMoving() const { return m_moving; }

    // Status bar text when a lamp click's move stops for want of an answer.
    static QString noAnswerMessage();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    // The element of a ControlTable slot; found by its name while the table is not filled.
    QWidget *slot(int index) const;
    // The elements the comment refresh of every frame sets, kept once found: a type check per
    // element and frame cost more than the rest of that refresh. Null while missing.
    ImageBox *lampSlot(int lamp) const;
    QLabel *labSlot(int entry) const;
    QLineEdit *cmntEditSlot(int entry) const;
    QString lineText(int slotBase, int line) const;

    FormContext &m_ctx;
    QWidget *m_cursor = nullptr;
    bool m_moving = false;
    bool m_moveCancelled = false; // the window closed during a move
    mutable std::array<QPointer<ImageBox>, 128> m_lampSlots;
    mutable std::array<QPointer<QLabel>, 64> m_labSlots;
    mutable std::array<QPointer<QLineEdit>, 64> m_cmntEditSlots;
};
