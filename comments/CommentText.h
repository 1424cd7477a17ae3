#pragma once

#include <QString>
#include <QStringView>

// The comment texts on their way into the comment file, which is Shift-JIS (code page 932).
//
// Input methods and keyboards on this system produce a few characters that code page 932 holds
// only as a look-alike of another code point (the wave dash U+301C is the full-width tilde
// U+FF5E there, the minus sign U+2212 the full-width hyphen-minus U+FF0D, ...). Those are mapped
// to the form the file can hold; any other character the code page lacks is refused, never
// replaced by a substitute byte.
namespace CommentText
{

// The character a file written from this text stands for when code page 932 lacks it: the well
// known table of look-alikes between JIS X 0208 / Latin-1 and code page 932 (U+301C -> U+FF5E,
// U+2212 -> U+FF0D, U+2016 -> U+2225, U+2014 -> U+2015, U+00A2 -> U+FFE0, U+00A3 -> U+FFE1,
// U+00AC -> U+FFE2, U+00A6 -> U+FFE4, U+00A5 -> the yen byte 0x5C, U+203E -> the overline byte
// 0x7E). Every other character is given back unchanged.
char16_t lookAlike(char16_t c);
QString mapLookAlikes(QString text);

// Index of the first character of text (look-alikes already mapped) that code page 932 cannot
// hold, a character outside the Basic Multilingual Plane included; -1 when every one can be
// written. U+FFFD, which stands for bytes of a loaded file that were no Shift-JIS, counts as
// holdable only when allowReplacement is set.
qsizetype firstUnencodable(QStringView text, bool allowReplacement = false);

// The character at index i as the user sees it in a message: 'x' (U+XXXX).
QString describeCharacter(QStringView text, qsizetype i);

} // namespace CommentText
