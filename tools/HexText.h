#pragma once

#include <QString>
#include <optional>

// Hexadecimal text as the unit shows it: one to seven digits 0-9, A-F (either case), nothing
// else, not even blanks. Nothing for any other text.
std::optional<int> hexTextValue(const QString &text);
