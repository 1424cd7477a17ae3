#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <map>

// The bus as the simulated unit sees it: registered and erroneous slave IDs, the bit image,
// the word values, the words that change by themselves and the eight-channel units, plus the
// unit's state at power-on. Read from a profile (.ini) file; builtIn() is the default bus,
// which exercises every feature of the window. The file format is documented by formatHelp().
//
// Plain value type.
struct Scenario {
    static constexpr int kBitRows = 16; // 256 bits per side, 16 to a row
    static constexpr int kWords = 64;   // word addresses W00..W63

    struct SlaveId {
        int id = 0; // 0x000..0xFFF, shown as three hexadecimal digits
        bool erroneous = false;
    };

    struct EightChannelUnit {
        int word = 0;    // input word address
        int format = 13; // 13: channel in bits 15..13; 12: channel in bits 14..12
        std::array<int, 8> values{};
    };

    bool debug = false;
    bool bitMode = false;
    std::chrono::milliseconds channelPeriod{250}; // time each channel stays on an 8-ch word
    std::chrono::milliseconds counterPeriod{100}; // time between two counter steps

    QList<SlaveId> ids;                        // ascending by id, each id once
    std::array<quint16, kBitRows> inputBits{}; // row r holds bits 16r..16r+15, bit 0 = LSB
    std::array<quint16, kBitRows> outputBits{};
    std::map<int, quint16> inputWords; // word address -> value
    std::map<int, quint16> outputWords;
    std::map<int, int> counters;  // input word -> step added every counterPeriod
    std::map<int, int> blinkBits; // input bit address -> half period in ms
    QList<EightChannelUnit> eightChannel;

    // Reads a scenario file. Throws EFOpenError when the file cannot be read and Exception
    // naming the section and key of the first entry that makes no sense.
    static Scenario load(const QString &path);

    // The default bus (parsed from builtInText()).
    static Scenario builtIn();

    // The default scenario as a file text, a starting point for one's own.
    static QByteArray builtInText();

    // The file format, for --help.
    static QString formatHelp();
};
