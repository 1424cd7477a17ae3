#pragma once

#include "comm/CommFailure.h"
#include "comm/CommX.h"

#include <QString>
#include <QtGlobal>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
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

// The part of the line setting one setter is about: a device checks that the driver kept it.
enum class LineField { BitRate, CharSize, Parity, StopBits, FlowCtrl, XonChar, XoffChar };

// A setting as the user names it, for a failure text ("奇数パリティ").
QString lineSettingText(LineField field, const LineSettings &settings);
// Fills failure for a setting the device could not make (err, and whether the device was
// dropped on the way) and gives false, the answer of a failed apply().
inline bool settingFailed(CommFailure *failure, const QString &device, LineField field,
                          const LineSettings &settings, int err, bool dropped)
{
    failure->reason = CommFailure::Reason::Other;
    failure->device = device;
    failure->error = err;
    failure->dropped = dropped;
    failure->setting = lineSettingText(field, settings);
    return false;
}
// The check every device makes before it sets anything: a bit rate of at least 1 and 5 to 8
// data bits. Gives the error number for a setting outside them, else 0.
inline int settingOutOfRange(const LineSettings &settings)
{
    const int charSize = settings.charSize & 0xFF;
    return settings.bitRate < 1 || charSize < 5 || charSize > 8 ? EINVAL : 0;
}
inline QString bitRateText(int bitRate)
{
    LineSettings s;
    s.bitRate = bitRate;
    return lineSettingText(LineField::BitRate, s);
}

// What a device needs to know beyond its address to open it.
struct DeviceOpenOptions {
    using Wait = std::function<bool(int fd, short events, std::chrono::milliseconds maxWait)>;
    QString lockFolder; // where UUCP lock files live; empty: none are made or honoured
    // How a backend that has to wait while it opens or configures (a network connect, a
    // negotiation with the server) waits: until fd has one of the poll events or maxWait passes,
    // while the calling thread goes on with its other work (the window stays responsive). The
    // backend looks at fd itself afterwards. False: the open was given up (the user
    // disconnected). Empty: a plain poll.
    Wait wait;
};

// The device under one open port, behind which any backend may stand (a local tty, a network
// port): the component and its threads only use this interface and never learn which it has.
// create() picks the backend from the address.
//
// Thread contract: open(), apply(), flush*(), setRts/setDtr(), readSome(), duplicate() and
// release() run on the window thread; the transmit thread calls writeSome() (under the
// component's WriteLock), waitWritable(), setRts() and counters(); the receive thread calls
// waitReadable() and counters(). isOpen() and the accessors may be called from any of them. A
// backend keeps whatever a worker still polls valid until the object is destroyed: release()
// lets go of the device but not of the descriptor number a worker may be sleeping on.
class SerialDevice
{
public:
    enum class Wait { Ready, Woken, TimedOut, HungUp, Failed };

    static std::unique_ptr<SerialDevice> create(const QString &address);

    SerialDevice() = default;
    virtual ~SerialDevice() = default;
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    // Opens without sharing; on failure fills *failure (reason, errno, holder) and returns false.
    virtual bool open(const QString &address, const DeviceOpenOptions &options,
                      CommFailure *failure) = 0;
    // Lets go of the device and everything that keeps others out of it; idempotent.
    virtual void release() = 0;
    virtual bool isOpen() const = 0;
    // The number the component shows as its Handle.
    virtual int handle() const = 0;
    const QString &path() const { return m_address; }
    // The address that finds this same device again after it went away and came back: for a
    // USB adapter its /dev/serial/by-id name, otherwise the address it was opened by.
    virtual QString stableAddress() const { return m_address; }

    // Writes the whole line setting and checks that the driver kept `field`. False with
    // *failure filled when the driver refuses the setting, drops the field, or a value has no
    // meaning for a line (char size outside 5..8, rate below 1).
    virtual bool apply(const LineSettings &settings, LineField field, CommFailure *failure) = 0;
    // Modem lines; ptys and some adapters refuse these, which callers ignore.
    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;

    virtual void flushInput() = 0;
    virtual void flushOutput() = 0;

    // True when readSome() gives the driver's in-band parity marks (PARMRK) that the reader
    // takes out; a backend that reports line errors otherwise gives plain data bytes.
    virtual bool marksLineErrors() const { return true; }
    // True while bytes that writeSome() took are still held by the backend (a network
    // connection's unsent rest); the writer calls writeSome() again, with nothing new, once the
    // device is writable.
    virtual bool outputPending() const { return false; }

    // Raw bytes from the driver, parity marks included. 0 means nothing waiting; -1 with *err
    // on failure.
    virtual qint64 readSome(char *buffer, qint64 size, int *err) = 0;
    virtual qint64 writeSome(const char *buffer, qint64 size, int *err) = 0;

    // Sleep until the line has data (or room), wakeFd (an eventfd) is signalled, or timeoutMs
    // passes (-1 = no limit). A hang-up is told apart from data.
    virtual Wait waitReadable(int wakeFd, int timeoutMs) const = 0;
    virtual Wait waitWritable(int wakeFd, int timeoutMs) const = 0;
    // True when the device reports a hang-up or error right now.
    virtual bool hungUp() const = 0;

    // The driver's error counters plus those simulated for this address; empty when the driver
    // has none (ptys, some USB adapters) and nothing is simulated.
    std::optional<LineCounters> counters() const;

    // A descriptor that turns readable when the device has data, for a window-thread wait; the
    // caller closes it. -1 on failure.
    virtual int duplicate() const = 0;

protected:
    virtual std::optional<LineCounters> driverCounters() const = 0;
    void setPath(const QString &address) { m_address = address; }

private:
    QString m_address;
};

// The one place errno is turned into our failures: every backend and worker asks it.
inline CommFailure::Reason classifyDeviceErrno(int err)
{
    return CommFailure::reasonFor(err);
}

// True for the reasons that mean the device has gone from under an open port.
inline bool meansDeviceGone(int err)
{
    return CommFailure::meansGone(classifyDeviceErrno(err));
}

// Test seam: line errors and breaks that a pseudo-terminal cannot produce. Events added for a
// device path are added to the driver's counters of that device (and make counters available
// where the driver has none) until forget() is called for the path.
namespace LineEventSeam
{
void add(const QString &devicePath, const LineCounters &events);
void forget(const QString &devicePath);
std::optional<LineCounters> events(const QString &devicePath);
} // namespace LineEventSeam

// eventfd helpers for waking a sleeping worker.
int makeWakeFd();
void signalWakeFd(int fd);
void clearWakeFd(int fd);
void closeWakeFd(int fd);
