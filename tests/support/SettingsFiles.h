#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// The settings files of the windows a test opens, in a temporary folder of the test's own that
// goes with it.
class SettingsFiles
{
public:
    // The path of a settings file no window of this test has used yet; nothing is there.
    QString next() { return path(QStringLiteral("s%1.ini").arg(++m_count)); }
    // A file of the given name in the folder.
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Writes the bytes as the whole file; false when it could not be written.
    static bool write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};
