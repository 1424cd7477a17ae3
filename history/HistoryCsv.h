#pragma once

#include <QString>

class HistoryStore;

// The history of a time range as CSV, UTF-8 with a byte-order mark, CR LF, like the program's
// other exports. Columns: 時刻 (local time with milliseconds), 種別, アドレス (as the line
// showed it), ビット/チャンネル ("b0" .. "b15" as the comment panels label the bit, in
// brackets; "ch0" .. "ch7"), 値 (0 or 1; the channel's value in decimal; empty when the key
// left the display). First the state at the start of the range of every key then shown, then
// one row per bit that changed and per eight-channel word, in time order.
namespace HistoryCsv
{

QString text(const HistoryStore &store, qint64 startUs, qint64 endUs, bool twelveBit);

// Writes text() to path; throws EFCreateError naming the file when it cannot be written.
void write(const QString &path, const HistoryStore &store, qint64 startUs, qint64 endUs,
           bool twelveBit);

} // namespace HistoryCsv
