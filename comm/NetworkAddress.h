#pragma once

#include <QString>

// A unit reached over the network instead of a local tty, as a [PORTS] entry or --port names
// it: "tcp://HOST:PORT" (the serial line's bytes as they are, ser2net's raw mode) or
// "rfc2217://HOST:PORT" (Telnet with the COM Port Control Option, which also carries the line
// settings and modem lines). HOST is a name, an IPv4 address or an IPv6 address in brackets.
//
// Thread contract: a value type.
struct NetworkAddress {
    enum class Protocol { None, Raw, Rfc2217 };

    Protocol protocol = Protocol::None;
    QString host;
    quint16 port = 0;

    // Protocol::None for anything that is not a well-formed network address (a device path).
    static NetworkAddress parse(const QString &address);
    // True when the address names the network at all (a scheme we know, well-formed or not).
    static bool looksLikeNetwork(const QString &address);

    bool isValid() const { return protocol != Protocol::None; }
    // The address written the way it is parsed.
    QString text() const;
};
