#pragma once

#include <QByteArray>
#include <optional>

// The two frame formats of the monitor link.
//
// Key frame (window to unit), 5 bytes: "*", a two-character key code, and the XOR of those
// three bytes as two lower-case hexadecimal digits.
// Display frame (unit to window), 13 bytes: "*", header A (0x70..0x77), header B, kind,
// three address characters, four data characters, and the XOR of bytes 0..10 as two
// upper-case hexadecimal digits.
namespace Frames
{

constexpr int kKeyFrameSize = 5;
constexpr int kDisplayFrameSize = 13;

// XOR of the bytes [begin, end).
unsigned char xorOf(const char *begin, const char *end);

// The key frame for a two-character code.
QByteArray keyFrame(const QByteArray &code);

// The code of a well-formed key frame (five bytes, lower-case check that matches); nothing
// otherwise.
std::optional<QByteArray> parseKeyFrame(const QByteArray &frame);

// A display frame with its check digits. addr must be 3 and data 4 bytes.
QByteArray displayFrame(char headerA, char headerB, char kind, const QByteArray &addr,
                        const QByteArray &data);

// True when bytes 11 and 12 of a 13-byte display frame are upper-case hexadecimal digits whose
// value equals the XOR of bytes 0..10.
bool displayCheckMatches(const char *frame);

// Where the fields of a display frame stand.
constexpr int kHeaderAAt = 1;
constexpr int kHeaderBAt = 2;
constexpr int kKindAt = 3;
constexpr int kAddrAt = 4;
constexpr int kAddrSize = 3;
constexpr int kDataAt = 7;
constexpr int kDataSize = 4;
constexpr int kCheckAt = 11;

// Header A bits and header B fields of a display frame. Header A's top five bits are always
// 01110 (0x70..0x77): that, after a "*", is what marks a frame start.
constexpr int kHeaderAMask = 0xF8;
constexpr int kHeaderATop = 0x70;
constexpr char kHeaderDebug = 0x02;
constexpr char kHeaderBitMode = 0x04;
constexpr char kHeaderLine = 0x03;
constexpr char kHeaderCursor = 0x04;

} // namespace Frames
