#pragma once

#include <QString>
#include <QtGlobal>

// Why the serial component could not open or configure its port, told so that the user can act
// on it: what went wrong, on which port and device, the system's error number where there is
// one, and who holds a busy port where that can be seen. The one reason type of the serial
// link: every errno of the device layer is turned into one of these reasons by reasonFor().
struct CommFailure {
    enum class Reason {
        None,
        NoDeviceForPort,  // no PORTS entry and no found device names this number
        NoSuchDevice,     // the named device does not exist (ENOENT, ENODEV, ENXIO)
        PermissionDenied, // EACCES, EPERM, EROFS
        Busy,             // another program holds the port; see holder
        NotSerial,        // the path is no serial device (ENOTTY)
        Gone,             // the device stopped answering (EIO, EPIPE, ESHUTDOWN)
        Other,            // a setting or a thread failed; setting says which
        // A unit on the network (tcp:// or rfc2217:// address):
        HostNotFound, // the host name does not resolve
        Refused,      // nobody listens at the port (ECONNREFUSED)
        TimedOut,     // no answer within the connect time (ETIMEDOUT)
        Unreachable,  // no route to the host or its network (EHOSTUNREACH, ENETUNREACH)
        Protocol,     // the server does not speak the line's protocol (RFC 2217 negotiation)
        Cancelled,    // the user disconnected while the connection was being made
    };

    // Who holds a busy port, as far as it can be seen.
    struct Holder {
        enum class Kind {
            Unknown,
            LockFile,  // a UUCP lock file names a live process
            Exclusive, // the tty is in exclusive mode (TIOCEXCL)
            Flock,     // an advisory lock on the device (flock)
            Open,      // another process merely has the device open
        };
        Kind kind = Kind::Unknown;
        qint64 pid = 0;  // 0: not known
        QString command; // /proc/<pid>/comm
        QString lockFile;
    };

    Reason reason = Reason::None;
    int port = 0;         // the port number, 0 when the device was opened by its address
    QString device;       // empty for NoDeviceForPort
    int error = 0;        // errno, where there is one
    QString setting;      // Other: the setting that failed, in the user's words
    bool dropped = false; // Other: the driver took the setting without error but did not keep it
    Holder holder;

    static Reason reasonFor(int err);
    // The reasons that mean a device or its connection has gone from under an open port.
    static bool meansGone(Reason reason);

    // One line for the user, starting with the port: "COM3: /dev/ttyUSB0 は…".
    QString text() const;
};
