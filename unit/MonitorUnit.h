#pragma once

#include "unit/Scenario.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <chrono>
#include <optional>

// The keys of the unit's keypad; keyFromCode maps the codes of link/KeyCodes.h onto them.
enum class UnitKey {
    In,
    Out,
    Id,
    Err,
    Data,
    Hex,
    Up,
    Enable,
    Left,
    Right,
    Mode,
    Down,
    Ent,
    Clr,
    On,
    Ini
};

struct KeyPress {
    UnitKey key = UnitKey::In;
    int digit = 0; // 0..15 for UnitKey::Hex
};

// The key a code names; nothing for a code that is no key of the unit.
std::optional<KeyPress> keyFromCode(const QByteArray &code);

// The simulated monitor unit: its keypad, its four-line display and the bus image behind it.
// Keys change the state; lines()/displayFrames() give what the display shows now; advance()
// moves the bus's own clock (counters, blinking bits, eight-channel words), so the owner decides
// what time it is and tests stay deterministic.
//
// Display, data mode (view chosen with IN, OUT, ID, ERR):
// - IN/OUT: a list of rows, the 16 bit rows (addresses 000, 016 .. 240) and then the words
//   (W00..W63) of that side; UP/DOWN move the cursor line and scroll, LEFT/RIGHT page by four
//   rows. DATA (debug state) edits the cursor row: its kind becomes IWT/OWT, the hex keys shift
//   digits in from the right, ENT stores the value, CLR or any move abandons the edit.
// - ID: the cursor line shows kind ID (EID for an erroneous ID), the typed address ("   ",
//   "0  ", "00 ", "000") and the ID in data characters 2..4 ("0" before it); the ID key starts
//   at the first ID, hex keys type a start address (data "    " meanwhile), ENT shows the first
//   ID at or above it, LEFT steps to the next ID, RIGHT back; "****" after the last. The lines
//   below preview the following IDs.
// - ERR: an ER# line with the number of erroneous IDs, then one ERR line per erroneous ID.
// Display, bit mode: a bit cursor 000..255 on the side last chosen with IN or OUT; LEFT one bit
// higher, RIGHT lower, DOWN 16 on, UP 16 back (stopping at the ends); the lines show the
// 64-bit block holding the cursor, every line's address is the cursor's bit address, the
// cursor flag marks the line holding it; ON (debug state) toggles the bit under the cursor.
// ENABLE and MODE toggle the debug state and the mode. INI abandons edits and entries, returns
// to the IN view and bit 000 and restores the outputs of the scenario.
//
// Plain value class, no threads.
class MonitorUnit
{
public:
    struct Line {
        char kind = ' ';
        QByteArray addr; // 3 characters
        QByteArray data; // 4 characters
        bool cursor = false;
    };

    enum class View { In, Out, Id, Err };

    explicit MonitorUnit(Scenario scenario = Scenario::builtIn());

    // Acts on a key frame's code. False, with nothing changed, for a code that is no key.
    bool pressKey(const QByteArray &code);
    void press(KeyPress key);

    // Lets bus time pass.
    void advance(std::chrono::milliseconds elapsed);

    std::array<Line, 4> lines() const;
    // The four display frames, lines 1 to 4 in order.
    QList<QByteArray> displayFrames() const;

    bool debugMode() const { return m_debug; }
    bool bitMode() const { return m_bitMode; }
    View view() const { return m_view; }
    int bitCursor() const { return m_bitCursor; }
    bool inputBit(int address) const;
    bool outputBit(int address) const;
    std::optional<quint16> inputWord(int word) const;
    std::optional<quint16> outputWord(int word) const;
    const Scenario &scenario() const { return m_scenario; }

private:
    struct Row {
        bool word = false;
        int number = 0; // bit row 0..15 or word address
    };

    QList<Row> rows(View view) const;
    int rowCount(View view) const;
    quint16 rowValue(View view, const Row &row) const;
    void storeRowValue(View view, const Row &row, quint16 value);
    Line rowLine(View view, int index) const;
    Line idLine(int index, bool current) const;
    std::array<Line, 4> listLines() const;
    std::array<Line, 4> bitLines() const;
    void moveRow(int delta);
    void moveBitCursor(int delta);
    void setView(View view);
    void pressInIdView(const KeyPress &key);
    void pressInList(const KeyPress &key);
    quint16 eightChannelWord(const Scenario::EightChannelUnit &unit, int slot) const;

    Scenario m_scenario;
    std::array<quint16, Scenario::kBitRows> m_inBits;
    std::array<quint16, Scenario::kBitRows> m_outBits;
    std::map<int, quint16> m_inWords;
    std::map<int, quint16> m_outWords;

    bool m_debug = false;
    bool m_bitMode = false;
    View m_view = View::In;
    View m_bitSide = View::In; // the side bit mode shows: In or Out
    int m_bitCursor = 0;
    int m_top = 0;        // first row shown in a list view
    int m_cursorLine = 0; // 0..3
    bool m_editing = false;
    QByteArray m_editText; // 4 characters while editing
    QByteArray m_idAddr;   // 3 characters
    int m_idIndex = 0;     // into the ID list; -1 while an address is typed, size() at the end

    // Bus time.
    std::chrono::milliseconds m_counterClock{0};
    std::chrono::milliseconds m_channelClock{0};
    std::map<int, std::chrono::milliseconds> m_blinkClocks;
    int m_channelSlot = 0;                     // which channel the 8-ch words show
    QList<std::array<int, 8>> m_channelValues; // per eight-channel unit
};
