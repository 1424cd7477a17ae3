#pragma once

#include <QByteArray>

// The numbers of RFC 2217 (Telnet COM Port Control) that the network device speaks.
namespace Rfc2217
{

// COM-PORT-OPTION commands, client to server; the server answers with code + 100.
inline constexpr unsigned char kSetBaudRate = 1;
inline constexpr unsigned char kSetDataSize = 2;
inline constexpr unsigned char kSetParity = 3;
inline constexpr unsigned char kSetStopSize = 4;
inline constexpr unsigned char kSetControl = 5;
inline constexpr unsigned char kNotifyLineState = 6;
inline constexpr unsigned char kSetLineStateMask = 10;
inline constexpr unsigned char kSetModemStateMask = 11;
inline constexpr unsigned char kPurgeData = 12;
inline constexpr unsigned char kServerOffset = 100;

// SET-CONTROL values.
inline constexpr unsigned char kNoFlowControl = 1;
inline constexpr unsigned char kXonXoffFlowControl = 2;
inline constexpr unsigned char kHardwareFlowControl = 3;
inline constexpr unsigned char kDtrOn = 8;
inline constexpr unsigned char kDtrOff = 9;
inline constexpr unsigned char kRtsOn = 11;
inline constexpr unsigned char kRtsOff = 12;
// PURGE-DATA values: the server's receive buffer (towards us), its transmit buffer (to the line).
inline constexpr unsigned char kPurgeReceive = 1;
inline constexpr unsigned char kPurgeTransmit = 2;
// Line state bits, the same positions as the component's error bits; 0x10 is a break.
inline constexpr unsigned char kLineOverrun = 0x02;
inline constexpr unsigned char kLineParity = 0x04;
inline constexpr unsigned char kLineFraming = 0x08;
inline constexpr unsigned char kLineBreak = 0x10;

inline QByteArray byteValue(unsigned char v)
{
    return QByteArray(1, char(v));
}

} // namespace Rfc2217
