#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>

#include <array>
#include <optional>

// The unit's keys by the two-character codes their key frames carry, and the kinds its display
// lines name. Every part that presses a key or reads a kind (the key pad, the lamp clicks, the ID
// scan, the simulated unit and its help text) takes them from here.
namespace KeyCodes
{

inline constexpr char In[] = "01";
inline constexpr char Out[] = "02";
inline constexpr char Id[] = "03";
inline constexpr char Err[] = "04";
inline constexpr char Data[] = "05";
inline constexpr char Up[] = "22"; // bit mode: 16 bits back
inline constexpr char Enable[] = "23";
inline constexpr char Left[] = "24";  // bit mode: the next higher bit; the ID list: the next ID
inline constexpr char Right[] = "25"; // bit mode: the next lower bit
inline constexpr char Mode[] = "26";
inline constexpr char Down[] = "27"; // bit mode: 16 bits on
inline constexpr char Ent[] = "28";
inline constexpr char Clr[] = "29";
inline constexpr char On[] = "30";
inline constexpr char Ini[] = "ON";

// The hexadecimal keys 0 to F have the consecutive codes "06" to "21".
inline constexpr int kDigitCount = 16;
inline constexpr int kFirstDigitCode = 6;

// The code of hexadecimal key 0..15; empty for any other value.
QByteArray digit(int value);
// The value 0..15 of a hexadecimal key's code; nothing for any other code.
std::optional<int> digitOf(const QByteArray &code);

struct NamedKey {
    const char *code;
    const char *name; // as the unit's keypad labels it
};

// Every key but the hexadecimal ones, in the order of their codes.
inline constexpr std::array<NamedKey, 15> kNamedKeys{{
    {In, "IN"},
    {Out, "OUT"},
    {Id, "ID"},
    {Err, "ERR"},
    {Data, "DATA"},
    {Up, "UP"},
    {Enable, "ENABLE"},
    {Left, "LEFT"},
    {Right, "RIGHT"},
    {Mode, "MODE"},
    {Down, "DOWN"},
    {Ent, "ENT"},
    {Clr, "CLR"},
    {On, "ON"},
    {Ini, "INI"},
}};

// Kind bytes of a display frame (position 3).
namespace Kind
{
inline constexpr char In = '1';
inline constexpr char Out = '2';
inline constexpr char Err = '3';
inline constexpr char Id = '4';
inline constexpr char Owt = '5';
inline constexpr char Iwt = '6';
inline constexpr char Eid = '7';
inline constexpr char ErrCount = '8';
} // namespace Kind

// The text a display line shows for one of the kinds above ("IN" for '1' ...); empty for any
// other byte.
QLatin1String kindName(char kind);

// The text shown for a frame's kind byte: its kind's name, or any other byte as a one-character
// text.
QString kindText(char kind);

} // namespace KeyCodes
