#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// Reading a file the program takes in whole (the settings file, the comment file), only when it
// is a regular file after following symbolic links. A FIFO, a device, a socket or a folder is
// refused before it is opened, and the open itself is non-blocking and checked again on the open
// descriptor, so that a FIFO swapped in between can never hold up the program and a device is
// never read (nor its lines touched by an open).
namespace RegularFile
{

enum class Status {
    Read,       // bytes hold the whole file
    Missing,    // no such file (or a link that points nowhere)
    NotRegular, // a FIFO, device, socket or folder: refused
    Denied,     // the user may not read it
    TooLarge,   // larger than the limit the caller gave
    Failed,     // another failure of the open or of a read
};

// What tells one state of a file from another without reading it.
struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const Stamp &) const = default;
};

struct Result {
    Status status = Status::Failed;
    QByteArray bytes;
    Stamp stamp;
    QString kind; // for NotRegular: what the path is ("フォルダ", "FIFO", "デバイス", ...)
    int error = 0;
};

// Reads path whole. maxBytes < 0 means no limit.
Result read(const QString &path, qint64 maxBytes = -1);

// The stamp of the regular file path (links followed); nothing when it is missing or not a
// regular file.
std::optional<Stamp> stampOf(const QString &path);

// A message a user understands for a result that is not Read, naming the file.
QString problem(const QString &path, const Result &result);

} // namespace RegularFile
