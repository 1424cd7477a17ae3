#include "link/Frames.h"

namespace Frames
{

namespace
{

int upperHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int lowerHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray hex2(unsigned char value, const char *digits)
{
    QByteArray out(2, '0');
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
    return out;
}

} // namespace

unsigned char xorOf(const char *begin, const char *end)
{
    unsigned char x = 0;
    for (const char *p = begin; p != end; ++p)
        x ^= static_cast<unsigned char>(*p);
    return x;
}

QByteArray keyFrame(const QByteArray &code)
{
    QByteArray frame = '*' + code.left(2);
    return frame + hex2(xorOf(frame.constBegin(), frame.constEnd()), "0123456789abcdef");
}

std::optional<QByteArray> parseKeyFrame(const QByteArray &frame)
{
    if (frame.size() != kKeyFrameSize || frame.at(0) != '*')
        return std::nullopt;
    const int hi = lowerHexValue(frame.at(3));
    const int lo = lowerHexValue(frame.at(4));
    if (hi < 0 || lo < 0 || (hi << 4 | lo) != xorOf(frame.constData(), frame.constData() + 3))
        return std::nullopt;
    return frame.mid(1, 2);
}

QByteArray displayFrame(char headerA, char headerB, char kind, const QByteArray &addr,
                        const QByteArray &data)
{
    QByteArray frame;
    frame.reserve(kDisplayFrameSize);
    frame += '*';
    frame += headerA;
    frame += headerB;
    frame += kind;
    frame += addr.left(kAddrSize).leftJustified(kAddrSize, ' ');
    frame += data.left(kDataSize).leftJustified(kDataSize, ' ');
    return frame + hex2(xorOf(frame.constBegin(), frame.constEnd()), "0123456789ABCDEF");
}

bool displayCheckMatches(const char *frame)
{
    const int hi = upperHexValue(frame[kCheckAt]);
    const int lo = upperHexValue(frame[kCheckAt + 1]);
    return hi >= 0 && lo >= 0 && (hi << 4 | lo) == xorOf(frame, frame + kCheckAt);
}

} // namespace Frames
