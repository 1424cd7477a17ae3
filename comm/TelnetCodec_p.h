#pragma once

#include <QByteArray>
#include <vector>

// The Telnet layer that RFC 2217 servers (ser2net's telnet(rfc2217), serial device servers)
// speak: IAC (0xFF) escaping of data both ways, option negotiation commands and
// subnegotiations. Hand-written: Debian has no maintained Telnet protocol library that works on
// a caller's own non-blocking socket, and the part needed here is small and fixed by RFC 854
// and RFC 2217.
//
// Thread contract: a value type; one decoder per connection, used on one thread at a time.
namespace Telnet
{
inline constexpr unsigned char kIac = 255;
inline constexpr unsigned char kDont = 254;
inline constexpr unsigned char kDo = 253;
inline constexpr unsigned char kWont = 252;
inline constexpr unsigned char kWill = 251;
inline constexpr unsigned char kSb = 250;
inline constexpr unsigned char kSe = 240;

inline constexpr unsigned char kBinary = 0;
inline constexpr unsigned char kEcho = 1;
inline constexpr unsigned char kSuppressGoAhead = 3;
inline constexpr unsigned char kComPortOption = 44;

// Data bytes with every 0xFF doubled.
QByteArray escape(const char *data, qsizetype size);
// IAC command option (WILL, WONT, DO, DONT).
QByteArray command(unsigned char verb, unsigned char option);
// IAC SB option payload IAC SE, the payload escaped.
QByteArray subnegotiation(unsigned char option, const QByteArray &payload);
} // namespace Telnet

class TelnetDecoder
{
public:
    // Longest subnegotiation kept; a longer one is dropped whole (its end is still looked for).
    static constexpr qsizetype kMaxSubnegotiation = 64;

    struct Event {
        enum class Kind { Option, Subnegotiation };
        Kind kind = Kind::Option;
        unsigned char verb = 0;   // Option: WILL, WONT, DO or DONT
        unsigned char option = 0; // both kinds
        QByteArray payload;       // Subnegotiation: the bytes after the option, unescaped
    };

    // Appends the data bytes of the input to out and the commands to events, in order of
    // arrival (a command's place among the data bytes is not kept). Other commands (NOP, GA,
    // data mark, ...) are dropped. A command split across feeds is completed by the next.
    void feed(const char *input, qsizetype size, QByteArray &out, std::vector<Event> &events);
    void reset();

private:
    enum class State { Data, Iac, Verb, SubOption, Sub, SubIac };
    State m_state = State::Data;
    unsigned char m_verb = 0;
    Event m_sub;
    bool m_subTooLong = false;
};
