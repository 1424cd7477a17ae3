// The Telnet decoder of RFC 2217 connections, fed what a server sends: the data and the
// commands must not depend on how the stream is cut into reads, data never grows beyond the
// input, subnegotiations stay bounded, and escaped data decodes back to itself.
#include "comm/TelnetCodec_p.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "telnet property failed: %s\n", what);
    std::abort();
}

bool sameEvents(const std::vector<TelnetDecoder::Event> &a,
                const std::vector<TelnetDecoder::Event> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].verb != b[i].verb || a[i].option != b[i].option ||
            a[i].payload != b[i].payload)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int cutSeed = in.ConsumeIntegral<uint16_t>();
    const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray stream(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));

    TelnetDecoder whole;
    QByteArray out;
    std::vector<TelnetDecoder::Event> events;
    whole.feed(stream.constData(), stream.size(), out, events);
    if (out.size() > stream.size())
        fail("more data out than in");
    for (const auto &e : events) {
        if (e.payload.size() > TelnetDecoder::kMaxSubnegotiation)
            fail("subnegotiation beyond its bound");
    }

    TelnetDecoder cut;
    QByteArray cutOut;
    std::vector<TelnetDecoder::Event> cutEvents;
    unsigned state = unsigned(cutSeed) | 1u;
    for (qsizetype at = 0; at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const qsizetype len = std::min<qsizetype>(stream.size() - at, (state >> 16) % 7);
        cut.feed(stream.constData() + at, len, cutOut, cutEvents);
        at += len;
    }
    if (cutOut != out || !sameEvents(cutEvents, events))
        fail("result depends on the cuts");

    // Our own escaping of any bytes decodes to those bytes and nothing else.
    TelnetDecoder back;
    QByteArray again;
    std::vector<TelnetDecoder::Event> none;
    const QByteArray escaped = Telnet::escape(stream.constData(), stream.size());
    back.feed(escaped.constData(), escaped.size(), again, none);
    if (again != stream || !none.empty())
        fail("escaped data did not decode to itself");
    return 0;
}
