#pragma once

#include "unit/KeyFrameParser.h"
#include "unit/MonitorUnit.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <deque>
#include <memory>

class LineRecording;

// Puts a MonitorUnit on a pseudo-terminal: the window opens the device (or the link to it) as
// its serial port. Key frames read from the line go to the unit; after each key the unit's four
// display frames go out, and on their own every refresh period. Output is paced like the real
// line (9600 bit/s, 8 data bits, odd parity, 1 stop bit: 11 bits a byte) unless fast is set.
// A key's answer replaces refresh frames not yet sent, so it follows the key promptly.
//
// Thread contract: single-threaded. run() owns the calling thread until a stop signal (SIGINT,
// SIGTERM, SIGHUP) arrives; the signal handlers installed by installStopHandlers() only write a
// byte to a pipe that run() polls.
class PtyUnit
{
public:
    struct Options {
        bool fast = false;
        std::chrono::milliseconds refreshPeriod{200};
        QString linkPath; // empty: no link
        // Where the line settings the device was given are written, one line each time they
        // change (a server in front of the pty, such as ser2net, sets them); empty: nowhere.
        QString reportLinePath;
        // Set: the line plays these received bytes with their recorded timing instead of the
        // unit's frames (keys are read and dropped), then stays open and quiet.
        std::shared_ptr<const LineRecording> replay;
    };

    // The line setting of a pty as one report line: "rate=9600 csize=8 parenb=0 parodd=1
    // cstopb=0 crtscts=0 ixon=0 ixoff=0". Linux keeps a pty at 8 data bits without parity
    // whatever it is told (csize and parenb), but keeps the parity sense (parodd), the rate,
    // the stop bits and the flow control as given.
    static QByteArray lineReport(int fd);

    static constexpr std::chrono::nanoseconds kByteTime{11'000'000'000LL / 9600};

    PtyUnit(MonitorUnit &unit, Options options);
    ~PtyUnit(); // closes the pty and removes the link
    PtyUnit(const PtyUnit &) = delete;
    PtyUnit &operator=(const PtyUnit &) = delete;

    // Opens the pty in raw mode and makes the link. Throws Exception on failure.
    void open();
    const QString &devicePath() const { return m_devicePath; }

    // Serves the line until a stop signal; returns the exit status (0).
    int run();

    // Routes SIGINT, SIGTERM and SIGHUP to run()'s stop; ignores SIGPIPE. Call once, early.
    static void installStopHandlers();

private:
    struct Queued {
        QByteArray frame;
        bool answer; // sent in answer to a key
    };

    void queueAnswer();
    void queueRefresh();
    void readKeys();
    void writeFrames(std::chrono::steady_clock::time_point now);
    void removeLink();
    void reportLine(std::chrono::steady_clock::time_point now);
    static constexpr std::chrono::milliseconds kReportPeriod{20};
    int runReplay();
    // Fast with no refresh period: the display lines go out back to back.
    bool streaming() const { return m_options.fast && m_options.refreshPeriod.count() == 0; }
    static constexpr int kStreamRounds = 64;

    MonitorUnit &m_unit;
    Options m_options;
    KeyFrameParser m_parser;
    int m_master = -1;
    int m_slave = -1; // held open so the master never sees a hang-up between clients
    QString m_devicePath;
    bool m_linked = false;

    std::deque<Queued> m_queue;
    QByteArray m_current; // the frame being written, from m_offset on
    qsizetype m_offset = 0;
    bool m_waitWritable = false;
    std::chrono::steady_clock::time_point m_nextWrite;
    int m_reportFd = -1;
    QByteArray m_lastReport;
    std::chrono::steady_clock::time_point m_nextReport;
};
