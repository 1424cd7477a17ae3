// The unit's key frame parser: every code it returns must be one a key frame carries, and the
// codes of a stream must not depend on how the stream is cut into reads.
#include "link/Frames.h"
#include "unit/KeyFrameParser.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void fail(const char *what, const QByteArray &code)
{
    std::fprintf(stderr, "key frame property failed: %s (code %s)\n", what,
                 code.toHex().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first bytes choose the cuts; the rest is the stream.
    FuzzedDataProvider in(data, size);
    const int cutSeed = in.ConsumeIntegral<uint16_t>();
    const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray stream(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));

    KeyFrameParser whole;
    const QList<QByteArray> codes = whole.feed(stream);

    KeyFrameParser cut;
    QList<QByteArray> pieces;
    unsigned state = unsigned(cutSeed) | 1u;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const qsizetype len = std::min<qsizetype>(stream.size() - at, (state >> 16) % 7);
        pieces += cut.feed(QByteArrayView(stream).sliced(at, len));
        at += len;
    }
    if (pieces != codes)
        fail("codes depend on how the stream is cut", QByteArray());

    for (const QByteArray &code : codes) {
        if (code.size() != 2)
            fail("code is not two characters", code);
        const auto back = Frames::parseKeyFrame(Frames::keyFrame(code));
        if (!back || *back != code)
            fail("code does not survive its own key frame", code);
    }

    // Stronger than the above: the codes are exactly the frames a plain left-to-right search
    // finds, where a rejected candidate gives up only its "*".
    QList<QByteArray> reference;
    for (qsizetype i = 0; i + Frames::kKeyFrameSize <= stream.size();) {
        if (stream.at(i) == '*') {
            if (const auto code = Frames::parseKeyFrame(stream.mid(i, Frames::kKeyFrameSize))) {
                reference += *code;
                i += Frames::kKeyFrameSize;
                continue;
            }
        }
        ++i;
    }
    if (reference != codes)
        fail("codes differ from a plain search for frames", QByteArray());
    return 0;
}
