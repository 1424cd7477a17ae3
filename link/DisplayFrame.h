#pragma once

#include <QByteArray>

// A display frame taken apart: the unit's state from header A, the display line and cursor flag
// from header B, and the line's kind, address and data as received. Bits the frame format does
// not interpret (header A bit 0, header B bits 3..7) are dropped.
struct DisplayFrame {
    bool debug = false;   // the unit is in its debug state (else monitor)
    bool bitMode = false; // the unit's display is in bit mode (else data mode)
    int line = 0;         // display line 0..3
    bool cursor = false;  // this line holds the unit's cursor
    char kind = 0;        // position 3: "1".."8" name a kind, any other byte shows as itself
    QByteArray addr;      // positions 4..6
    QByteArray data;      // positions 7..10
    QByteArray raw;       // all 13 characters

    // Decodes the 13 bytes at frame. Checks nothing: the receiver has matched the check digits.
    static DisplayFrame decode(const char *frame);
};
