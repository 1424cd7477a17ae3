#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair for tests: the program under test opens the slave by its path (through
// the settings file's [PORTS] section), the test plays the far end on the master.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    int master() const { return m_master; }
    const QString &slavePath() const { return m_slavePath; }

    // Writes every byte to the master (blocking); false on failure.
    bool writeAll(const QByteArray &bytes) const;

private:
    int m_master = -1;
    QString m_slavePath;
};

// Writes a settings file with the given content (Shift-JIS bytes) and returns its path.
QString writeSettingsFile(const QString &path, const QByteArray &content);
