#pragma once

#include <QList>
#include <QString>
#include <tuple>

// Where the program's settings (.ini) file is read and written, and the write that falls back
// to the user's own file.
//
// The file beside the program ("<program>.ini") is the settings file whenever it exists, even
// read-only, so a program carried on a stick brings its settings along. It is also the file
// when the program's folder can take it. An installed program (in the folder it was installed
// to, or in a folder this user cannot write) uses the user's file instead:
// $XDG_CONFIG_HOME/qxwatch/qxwatch.ini, by default ~/.config/qxwatch/qxwatch.ini. The check
// for "installed" does not rest on the folder's permissions alone, because for root every
// folder is writable and an installed program must never drop files into /usr/bin.
//
// Only a write falls back: when the file beside the program is read-only for this user (or has
// no write permission at all, which root would pass over), or a key cannot be written to it,
// the keys go to the user's file. Reading never falls back, so
// what the user sees at start is what the file beside the program says.
//
// Not thread-safe; used on the window thread.
class SettingsFile
{
public:
    using Entry = std::tuple<QString, QString, QString>; // section, key, value

    explicit SettingsFile(QString path, QString fallbackPath = QString())
        : m_path(std::move(path)), m_fallbackPath(std::move(fallbackPath))
    {
    }

    // The settings file of the program file programFile; installedBinDir is the folder the
    // program is installed to (empty: none known).
    static SettingsFile forProgram(const QString &programFile, const QString &installedBinDir);

    // The user's settings file in the configuration folder (XDG_CONFIG_HOME respected).
    static QString userFile();

    // The file read at start, and written first.
    const QString &path() const { return m_path; }
    // The file written when path() cannot be; empty when there is none.
    const QString &fallbackPath() const { return m_fallbackPath; }

    // Writes the entries in order to path(), all of them in one replacement of the file, or,
    // when path() is read-only for this user or cannot be written, all of them to
    // fallbackPath() (its folder made when missing). Returns the file that took the entries, or
    // a null string when none did; a file that could not take them is left as it was.
    QString write(const QList<Entry> &entries) const;

private:
    QString m_path;
    QString m_fallbackPath;
};
