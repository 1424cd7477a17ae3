#include "link/DisplayFrame.h"

#include "link/Frames.h"

DisplayFrame DisplayFrame::decode(const char *frame)
{
    const char headerA = frame[Frames::kHeaderAAt];
    const char headerB = frame[Frames::kHeaderBAt];
    DisplayFrame f;
    f.debug = (headerA & Frames::kHeaderDebug) != 0;
    f.bitMode = (headerA & Frames::kHeaderBitMode) != 0;
    f.line = headerB & Frames::kHeaderLine;
    f.cursor = (headerB & Frames::kHeaderCursor) != 0;
    f.kind = frame[Frames::kKindAt];
    f.addr = QByteArray(frame + Frames::kAddrAt, Frames::kAddrSize);
    f.data = QByteArray(frame + Frames::kDataAt, Frames::kDataSize);
    f.raw = QByteArray(frame, Frames::kDisplayFrameSize);
    return f;
}
