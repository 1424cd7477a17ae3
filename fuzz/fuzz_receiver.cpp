// The display frame receiver under arbitrary bytes, split into arbitrary receive events, with
// failed reads and reconnects: FrameSync must give the verdicts of the written-out rules
// (ReceiverModel), and what it calls good must be a frame.
#include "link/FrameSync.h"
#include "link/Frames.h"
#include "link/ReceiverModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <deque>

namespace
{

[[noreturn]] void fail(const char *what, std::size_t at)
{
    std::fprintf(stderr, "receiver property failed at byte %zu: %s\n", at, what);
    std::abort();
}

FrameSync::Verdict expected(ReceiverModel::Verdict v)
{
    switch (v) {
    case ReceiverModel::Verdict::Good:
        return FrameSync::Verdict::Good;
    case ReceiverModel::Verdict::Bad:
        return FrameSync::Verdict::Bad;
    case ReceiverModel::Verdict::Incomplete:
        break;
    }
    return FrameSync::Verdict::Incomplete;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FrameSync sync;
    ReceiverModel model;
    std::deque<int> queue; // the driver's input queue
    std::size_t read = 0;

    // One receive event the way RecPkt runs it: a bad frame ends the event, the rest waits.
    auto event = [&](int receiveSize) {
        for (int i = 0; i < receiveSize; ++i) {
            int value = -1; // ReadChar's failed read (time-out) when the queue ran dry
            if (!queue.empty()) {
                value = queue.front();
                queue.pop_front();
            }
            ++read;
            const FrameSync::Verdict got = sync.push(value);
            if (got != expected(model.push(value)))
                fail("verdict differs from the receiver rules", read);
            if (got == FrameSync::Verdict::Good) {
                const QByteArray frame = sync.RecvText().left(FrameSync::kFrameSize);
                if (frame.size() != FrameSync::kFrameSize ||
                    !Frames::displayCheckMatches(sync.frameData()))
                    fail("good frame without matching check digits", read);
                if (frame.toStdString() != model.lastFrame)
                    fail("good frame text differs from the receiver rules", read);
                // Only a frame that began at a frame start is sure to be one: 13 counted
                // characters of noise are checked too, and pass when their digits happen to.
                if (model.lastStarted && (frame.at(0) != '*' || (frame.at(1) & 0xF8) != 0x70))
                    fail("synchronised good frame without '*' and header A", read);
                sync.clearText();
            }
            if (got == FrameSync::Verdict::Bad)
                return;
        }
    };

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: // a reconnect
            sync.resetForConnect();
            model.connect();
            break;
        case 1: // an event that asks for more than has arrived: failed reads
            event(in.ConsumeIntegralInRange<int>(1, 4) + int(queue.size()));
            break;
        default: { // bytes arrive, then the event for them
            for (const uint8_t b : in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<int>(1, 64)))
                queue.push_back(b);
            event(in.ConsumeIntegralInRange<int>(1, int(queue.size()) + 1));
            break;
        }
        }
    }
    // The port keeps raising events while bytes wait.
    while (!queue.empty())
        event(int(queue.size()));
    return 0;
}
