#pragma once

#include "comm/CommX.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <mutex>
#include <optional>

// The line's error and break counts as the driver keeps them (TIOCGICOUNT).
struct LineCounters {
    quint64 frame = 0;
    quint64 overrun = 0;
    quint64 parity = 0;
    quint64 brk = 0;
};

// Everything the line is configured with; the component keeps one of these between setters the
// way the component of the original system kept its device control block.
struct LineSettings {
    int bitRate = 9600;
    int charSize = 8;
    TCommParityBits parity = cpbNone;
    TCommStopBits stopBits = csb1;
    TCommFlowCtrls flowCtrl = cfcRtsCts;
    unsigned char xonChar = 0x11;
    unsigned char xoffChar = 0x13;
    int xonLimit = 512;
    int xoffLimit = 512;
};

// Why a device could not be used, from errno; the one place errno is turned into our failures.
enum class DeviceError { None, NoSuchDevice, PermissionDenied, Busy, Gone, NotSerial, Other };
DeviceError classifyDeviceErrno(int err);

// The serial device under one open port: every termios, ioctl, poll and read/write of the serial
// link is in SerialDevice.cpp and nowhere else.
//
// Thread contract: open(), apply(), flush*(), setRts/setDtr(), readSome() and release() run on
// the window thread; the transmit thread calls writeSome() (under the component's WriteLock),
// waitWritable() and counters(); the receive thread calls waitReadable() and counters(). The
// descriptor number stays reserved until the object is destroyed: release() lets go of the
// device itself by putting /dev/null in its place, so a worker that still polls the number after
// Close never reaches a file opened later under the same number.
class SerialDevice
{
public:
    enum class Wait { Ready, Woken, TimedOut, HungUp, Failed };

    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    // Opens without sharing (O_NOCTTY|O_NONBLOCK|O_CLOEXEC, flock, TIOCEXCL). On failure returns
    // false with errno in *err.
    bool open(const QString &path, int *err);
    // Lets go of the device (see above); idempotent.
    void release();
    bool isOpen() const { return m_fd >= 0 && !m_released.load(); }
    int fd() const { return m_fd; }
    const QString &path() const { return m_path; }

    // Writes the whole line setting; false with errno in *err when the driver refuses it or a
    // value has no meaning for a line (char size outside 5..8, rate below 1).
    bool apply(const LineSettings &settings, int *err);
    // Modem lines; ptys and some adapters refuse these, which callers ignore.
    bool setRts(bool on);
    bool setDtr(bool on);

    void flushInput();
    void flushOutput();

    // Raw bytes from the driver, parity marks included. 0 means nothing waiting (a tty with
    // VMIN=0 reads 0 on an empty queue); -1 with *err on failure.
    qint64 readSome(char *buffer, qint64 size, int *err);
    qint64 writeSome(const char *buffer, qint64 size, int *err);

    // Sleep until the line has data (or room), wakeFd (an eventfd) is signalled, or timeoutMs
    // passes (-1 = no limit). A hang-up is told apart from data.
    Wait waitReadable(int wakeFd, int timeoutMs) const;
    Wait waitWritable(int wakeFd, int timeoutMs) const;
    // True when the driver reports a hang-up or error right now.
    bool hungUp() const;

    // The driver's error counters plus those simulated for this path; empty when the driver has
    // none (ptys, some USB adapters) and nothing is simulated.
    std::optional<LineCounters> counters() const;

    // A second descriptor for the same open device, for a window-thread wait; -1 on failure.
    int duplicate() const;

private:
    int m_fd = -1;
    std::atomic<bool> m_released{false};
    QString m_path;
};

// Test seam: line errors and breaks that a pseudo-terminal cannot produce. Events added for a
// device path are added to the driver's counters of that device (and make counters available
// where the driver has none) until forget() is called for the path.
namespace LineEventSeam
{
void add(const QString &devicePath, const LineCounters &events);
void forget(const QString &devicePath);
} // namespace LineEventSeam

// eventfd helpers for waking a sleeping worker.
int makeWakeFd();
void signalWakeFd(int fd);
void clearWakeFd(int fd);
void closeWakeFd(int fd);
