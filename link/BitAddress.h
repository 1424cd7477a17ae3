#pragma once

#include <QString>
#include <QtGlobal>

// How the address a display line shows numbers its 16 bits, for the comment panels and the
// history alike. The unit's address text is taken as it comes: arithmetic is 64-bit, so that a
// long number cannot overflow into a valid-looking index.
namespace BitAddress
{

// The base of a line showing addr and data: 0 for a line with no address ("12 " form) or a
// register ("R…" data); 16 × n for a word address "Wnn"; otherwise the bit address, in bit mode
// rounded down to its row of 64 (the line's own row is added by the caller).
qint64 lineBase(const QString &addr, const QString &data, bool bitMode);

} // namespace BitAddress
