#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <tuple>

// A classic profile (.ini) file, read and written key by key like the Windows profile
// functions: "[Section]" lines open sections, "Key=Value" lines follow. Section and key names
// match without regard to case; values are trimmed, and one pair of surrounding quotes is
// removed. The file is Shift-JIS. A write changes only the lines of its keys (or adds them, or a
// section); every other byte of the file stays as it was.
//
// Reading: the file is read once and kept, indexed by section and key, for as long as its size,
// times and identity stay the same, so a large file costs one read however many keys are asked
// for (and by however many ProfileFile objects). Only regular files are read (RegularFile): a
// FIFO, device or folder reads as a missing file, and readProblem() says why.
//
// Writing: every key of one write call goes into one atomic replacement of the file
// (AtomicFile), so a crash during a save leaves the old file or the new one, never a mix.
//
// Not thread-safe; used on the window thread (and by qxunit's main thread).
class ProfileFile
{
public:
    using Entry = std::tuple<QString, QString, QString>; // section, key, value

    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }

    // The key's value, or def when the file, section or key is missing.
    QString readString(const QString &section, const QString &key, const QString &def) const;

    // The key's value as a decimal integer; def when missing or not a decimal integer.
    int readInt(const QString &section, const QString &key, int def) const;

    // Writes one key. Returns false, leaving the file untouched, when it cannot be written.
    bool writeString(const QString &section, const QString &key, const QString &value);

    // Writes the keys in order, each as writeString would, in one replacement of the file.
    // Returns false, leaving the file untouched, when it cannot be written.
    bool writeStrings(const QList<Entry> &entries);

    // Every key of a section in file order, as "key=value" pairs (for enumerating sections like
    // a scenario's lists).
    QList<std::pair<QString, QString>> readSection(const QString &section) const;

    // Why the file exists but cannot be read (not a regular file, not readable), as a message
    // for the user; empty when it reads or is simply missing.
    QString readProblem() const;

    // Why the last write failed, as a message for the user; empty after a good write.
    const QString &writeProblem() const { return m_writeProblem; }

    // Files kept read at most; the oldest is dropped beyond it.
    static constexpr int kCachedFiles = 8;

private:
    QString m_path;
    QString m_writeProblem;
};
