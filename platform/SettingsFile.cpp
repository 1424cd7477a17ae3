#include "platform/SettingsFile.h"

#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace
{

// Judged for the effective user, who opens the file, not the real one access() asks about.
bool writableByUs(const QString &path)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

// A file nobody may write is kept as it is even by root, who could: someone made it so.
bool readOnlyFile(const QString &path)
{
    constexpr QFile::Permissions kAnyWrite =
        QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
    return QFileInfo::exists(path) &&
           (!writableByUs(path) || !(QFile::permissions(path) & kAnyWrite));
}

bool sameFolder(const QString &a, const QString &b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

bool writeEntries(const QString &path, const QList<SettingsFile::Entry> &entries)
{
    // The user's configuration folder may not exist yet on a fresh account.
    if (path == SettingsFile::userFile())
        QDir().mkpath(QFileInfo(path).absolutePath());
    return ProfileFile(path).writeStrings(entries);
}

} // namespace

SettingsFile SettingsFile::forProgram(const QString &programFile, const QString &installedBinDir)
{
    const QFileInfo program(programFile);
    const QString folder = program.absolutePath();
    const QString beside = folder + QLatin1Char('/') + program.completeBaseName() + ".ini";
    const bool installed = !installedBinDir.isEmpty() && sameFolder(folder, installedBinDir);
    if (QFileInfo::exists(beside) || (!installed && writableByUs(folder)))
        return SettingsFile(beside, userFile());
    return SettingsFile(userFile());
}

QString SettingsFile::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/qxwatch/qxwatch.ini");
}

QString SettingsFile::write(const QList<Entry> &entries) const
{
    if (!readOnlyFile(m_path) && writeEntries(m_path, entries))
        return m_path;
    if (m_fallbackPath.isEmpty() || m_fallbackPath == m_path)
        return QString();
    return writeEntries(m_fallbackPath, entries) ? m_fallbackPath : QString();
}
