#pragma once

#include <QByteArray>
#include <QString>

// Replacing a file's whole content (the settings file, the comment file).
//
// A path that is a symbolic link, or a chain of them, is followed to its final target, and that
// file is written: the links stay links. A link that points nowhere is refused, and so is a
// target that is not a regular file (a FIFO, a device, a folder) or one the user may not write
// (a file without any write permission is kept even by root, who could write it).
//
// Where it can be done the replacement is atomic: the bytes go to a temporary file beside the
// target (every byte checked, synced, the old file's permissions and owner kept), which is then
// renamed over it, so a crash, a full disk or a size limit leaves the old file whole. When the
// folder cannot take the temporary file, or the file has further hard links that a rename
// would cut off, the file is written in place: its space is reserved first (so a full disk is
// found before a byte changes where the file system allows it), every write, the final length
// and the flush to disk are checked. A failed or short write is never reported as success.
namespace AtomicFile
{

enum class Status {
    Written,
    DanglingLink, // the link chain ends at a name that does not exist
    LinkLoop,     // the chain does not end
    NotRegular,   // the target is a FIFO, device, socket or folder
    ReadOnly,     // the user may not write the target
    Failed,       // creating, writing, flushing or renaming failed (error holds errno)
};

struct Result {
    Status status = Status::Failed;
    QString target; // the file that was (or would have been) written
    bool inPlace = false;
    int error = 0;
    explicit operator bool() const { return status == Status::Written; }
};

Result replace(const QString &path, const QByteArray &bytes);

// Where the final target of path's link chain lies (path itself when it is no link); a null
// string for a dangling link or a loop.
QString finalTarget(const QString &path);

// A message for a failed replace, naming the file as given: "ファイル <path> を作成できません",
// followed by why for a link that points nowhere, a loop or a target that is no regular file.
QString problem(const QString &path, const Result &result);

} // namespace AtomicFile

// The replacement above as a yes or no.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
