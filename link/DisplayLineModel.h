#pragma once

#include <QString>
#include <array>

// What the four display lines remember between frames, and the pure rules that turn a frame's
// fields into texts and lamp states (a kind's text is KeyCodes::kindText). The widgets that show
// them live in the window.
class DisplayLineModel
{
public:
    static constexpr int kLines = 4;

    // The 16 lamp states of a data text: bit j of the result is lamp j of the line, which shows
    // bit 15 - j of the data word. Characters other than 0-9 and A-F light none of their four
    // lamps.
    static quint16 lampStates(const QString &data);

    // "lo ～ hi" of the 64-bit block holding the first line's address, or an empty text for a
    // word address ("W..."). Throws EConvertError when the address is neither.
    static QString bitRangeText(const QString &addr1);

    // The lamp refresh of a line runs in full only when one of its texts or the cursor line
    // changed since the last full refresh; remember() records that refresh.
    bool needsRefresh(int line, const QString &data, const QString &kind, const QString &addr,
                      int curLine) const;
    void remember(int line, const QString &data, const QString &kind, const QString &addr,
                  int curLine);

    std::array<QString, kLines> LastLineData{"    ", "    ", "    ", "    "};
    std::array<QString, kLines> LastLineKind{"    ", "    ", "    ", "    "};
    std::array<QString, kLines> LastLineAddr{"   ", "   ", "   ", "   "};
    int LastCurLine = 0;
};
