#pragma once

#include "comm/PortLockFile_p.h"
#include "comm/SerialDevice_p.h"

#include <atomic>
#include <sys/types.h>

// A local tty as the device of a port: every termios, ioctl, poll and read/write of the serial
// link on a tty is in TtyDevice.cpp and nowhere else.
//
// Opening keeps every kind of other user out, and refuses when one is already there: a UUCP
// lock file of a live process (ours is made), a flock (ours is taken), exclusive mode (TIOCEXCL,
// which root would otherwise pass), or another process that merely has the tty open. Releasing
// gives all of it back: lock file, flock and exclusive mode.
//
// Thread contract: as SerialDevice. The descriptor number stays reserved until the object is
// destroyed: release() lets go of the device itself by putting /dev/null in its place, so a
// worker that still polls the number after Close never reaches a file opened later under the
// same number.
class TtyDevice : public SerialDevice
{
public:
    TtyDevice() = default;
    ~TtyDevice() override;

    bool open(const QString &path, const DeviceOpenOptions &options, CommFailure *failure) override;
    void release() override;
    bool isOpen() const override { return m_fd >= 0 && !m_released.load(); }
    int handle() const override { return m_fd; }
    QString stableAddress() const override { return m_stableAddress; }

    bool apply(const LineSettings &settings, LineField field, CommFailure *failure) override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    void flushInput() override;
    void flushOutput() override;
    qint64 readSome(char *buffer, qint64 size, int *err) override;
    qint64 writeSome(const char *buffer, qint64 size, int *err) override;
    Wait waitReadable(int wakeFd, int timeoutMs) const override;
    Wait waitWritable(int wakeFd, int timeoutMs) const override;
    bool hungUp() const override;
    int duplicate() const override;

protected:
    std::optional<LineCounters> driverCounters() const override;

private:
    bool refuse(CommFailure *failure, CommFailure::Reason reason, int err, int fd);

    int m_fd = -1;
    std::atomic<bool> m_released{false};
    dev_t m_rdev = 0;
    QString m_stableAddress;
    PortLockFile m_lock;
};

// Test seam: a pseudo-terminal has no wire, and its driver reports every line as 8 data bits
// without parity whatever it was asked; the character size and parity of a pty are therefore
// not checked after a setting. A path given here is checked like a real line, which makes the
// pty a driver that silently drops those settings.
namespace TtyDriverSeam
{
void checkFraming(const QString &devicePath);
void forget(const QString &devicePath);
bool framingChecked(const QString &devicePath);
} // namespace TtyDriverSeam
