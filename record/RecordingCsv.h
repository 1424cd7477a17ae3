#pragma once

#include <QString>

class LineRecording;

// A recording to CSV: one row per good display frame that changed its line's kind, address or
// data text (the display lines start as "--", "000", "0000", as at start-up), in UTF-8 with a
// byte-order mark and CR LF line ends, so that spreadsheets open it as it is.
//
// Columns: 時刻 (local time, microseconds), 行 (display line 1..4), 種別 (kind text), アドレス,
// データ, b15 .. b0 (the bits the line's lamps show: 1 on, 0 off), and for a word address
// ("W" and the word number) the eight-channel monitor's reading of the data word: the channel
// and value in the 13-bit format, then in the 12-bit format; empty for other addresses.
//
// Thread contract: any thread.
namespace RecordingCsv
{

// The header row, without its line end.
QString header();

// Writes the rows of recording to path; returns the number of rows (header not counted).
// Throws EFCreateError when the file cannot be written (nothing is left at path then).
qsizetype write(const LineRecording &recording, const QString &path);

// The rows as text (header first), for writing and for tests.
QByteArray text(const LineRecording &recording, qsizetype *rows = nullptr);

} // namespace RecordingCsv
