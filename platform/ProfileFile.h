#pragma once

#include <QByteArray>
#include <QString>

// A classic profile (.ini) file, read and written one key at a time like the Windows profile
// functions: "[Section]" lines open sections, "Key=Value" lines follow. Section and key names
// match without regard to case; values are trimmed, and one pair of surrounding quotes is
// removed. The file is Shift-JIS. A write changes only the line of its key (or adds one, or a
// section); every other byte of the file stays as it was. Each write replaces the whole file
// atomically (temporary file beside it, then rename), so a failed write leaves the old file.
//
// Not thread-safe; used on the window thread (and by qxunit's main thread).
class ProfileFile
{
public:
    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }

    // The key's value, or def when the file, section or key is missing.
    QString readString(const QString &section, const QString &key, const QString &def) const;

    // The key's value as a decimal integer; def when missing or not a decimal integer.
    int readInt(const QString &section, const QString &key, int def) const;

    // Writes one key. Returns false, leaving the file untouched, when it cannot be written.
    bool writeString(const QString &section, const QString &key, const QString &value);

    // Every key of a section in file order, as "key=value" pairs (for enumerating sections like
    // a scenario's lists).
    QList<std::pair<QString, QString>> readSection(const QString &section) const;

private:
    QString m_path;
};
