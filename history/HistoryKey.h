#pragma once

#include <QString>
#include <optional>

// What a row of the history stands for: the sixteen bits a display line showed, named the way
// the comment panels name them. A line of kind IN at address 016 in data mode shows the bits
// 16 .. 31; the same bits shown as the second row of a bit-mode block are the same key, so the
// history follows a bit whichever way the unit shows it. A word address in data mode (W05)
// names the bits 5-0 .. 5-15 of word 5, and its data word is an eight-channel word as well.
struct HistoryKey {
    QString kind;      // the line's kind text ("IN", "OUT", "ERR", ...)
    bool word = false; // a word address shown in data mode: labels "n-m", an eight-channel word
    qint64 first = 0;  // the first bit's address; for a word, word number * 16
    QString addrText;  // the address as the line showed it when the key was first seen

    // The key of what display line (0..3) shows, or none for a line that shows nothing of the
    // unit (the kind "--" of start-up and of a disconnect, or an empty kind).
    static std::optional<HistoryKey> forLine(int line, const QString &kind, const QString &addr,
                                             const QString &data, bool bitMode);

    // Bit 0..15 as the comment panels label it: "17", or "5-3" for a word's bit.
    QString bitLabel(int bit) const;
    // The index into the comment tables: the bit address, or word * 16 + bit.
    qint64 commentIndex(int bit) const { return first + bit; }
    int wordNumber() const { return int(first / 16); }

    bool operator==(const HistoryKey &o) const
    {
        return word == o.word && first == o.first && kind == o.kind;
    }
};
