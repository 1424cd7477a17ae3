#pragma once

#include "link/Frames.h"

#include <QByteArray>

// The display frame receiver's byte-level state: finds frame starts, collects 13 characters and
// checks them. It does not touch the window; RecPkt feeds it the bytes that ReadChar returns and
// acts on the verdicts.
//
// A frame starts where the previous byte was "*" and the current byte's top five bits are 01110
// (header A, 0x70..0x77). Until then, bytes are collected and checked every 13 counted
// characters, so noise is thrown away by failing its check. PrevChar survives a bad frame, so a
// "*" that ends a rejected run still starts the next frame.
class FrameSync
{
public:
    enum class Verdict {
        Incomplete, // no frame completed by this byte
        Good,       // RecvText() holds a frame whose check digits match
        Bad,        // 13 counted characters failed the check; the collected text was discarded
    };

    static constexpr int kFrameSize = 13;

    FrameSync();

    // One value from ReadChar: 0..255, or -1 for a failed read (collected as 0xFF).
    Verdict push(int value)
    {
        if ((m_prevChar & 0xFF) == '*' && (value & Frames::kHeaderAMask) == Frames::kHeaderATop) {
            m_count = 1;
            m_length = 0;
            append('*');
        }
        m_prevChar = value;
        append(char(value & 0xFF));
        if (++m_count <= kFrameSize - 1)
            return Verdict::Incomplete;
        m_count = 0;
        if (!checkMatches()) {
            m_length = 0;
            return Verdict::Bad;
        }
        return Verdict::Good;
    }

    // The characters collected for the frame in progress; after a Good verdict, the frame.
    QByteArray RecvText() const { return QByteArray(m_text, m_length); }
    const char *frameData() const { return m_text; }

    // Empties the collected text (after a good frame has been handled).
    void clearText() { m_length = 0; }

    int RecvCount() const { return m_count; }
    int PrevChar() const { return m_prevChar; }

    // A new connection: count from zero, and no "*" pending. The collected text is kept; the
    // first frame start replaces it.
    void resetForConnect()
    {
        m_count = 0;
        m_prevChar = ' ';
    }

private:
    void append(char c)
    {
        if (m_length < kCapacity)
            m_text[m_length++] = c;
    }
    bool checkMatches() const;

    // Text collected outside synchronisation can exceed one frame (left-overs kept across a
    // connect), but never by more than a frame's worth, since every 13 counted characters are
    // checked and the text is then emptied.
    static constexpr int kCapacity = 4 * kFrameSize;
    char m_text[kCapacity];
    int m_length = 0;
    int m_count = 0;
    int m_prevChar = 0;
};
