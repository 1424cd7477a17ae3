#pragma once

#include <QByteArray>
#include <QFlags>
#include <QString>

// A pseudo-terminal pair for tests: the code under test opens the slave by its path (through
// the settings file's [PORTS] section, or a port resolver), the test plays the far end on the
// master.
class PtyPair
{
public:
    enum Option {
        NoOptions = 0x0,
        // The test keeps a descriptor of the slave, to look at the line's state from the device
        // side (outputStopped()); otherwise only the code under test holds the slave.
        KeepSlaveOpen = 0x1,
        // Reads and writes on the master return at once instead of waiting.
        NonBlockingMaster = 0x2,
    };
    Q_DECLARE_FLAGS(Options, Option)

    explicit PtyPair(Options options = NoOptions);
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    int master() const { return m_master; }
    int slave() const { return m_slave; } // -1 unless KeepSlaveOpen
    const QString &slavePath() const { return m_slavePath; }

    // Writes every byte to the master, waiting for room when the line is full; false on
    // failure.
    bool writeAll(const QByteArray &bytes) const;
    // The same as a test step: a short or failed write fails the running test.
    void send(const QByteArray &bytes) const;
    // Everything the master can read right now, without waiting.
    QByteArray take() const;
    // Reads from the master until count bytes have come or ms milliseconds have passed, letting
    // the test's events run meanwhile.
    QByteArray collect(qsizetype count, int ms = 5000) const;
    // Whether the line's output is stopped (XOFF) as the driver sees it; needs KeepSlaveOpen.
    bool outputStopped() const;
    // The far end goes away: the slave side hangs up.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PtyPair::Options)

// Writes a settings file with the given content (Shift-JIS bytes) and returns its path.
QString writeSettingsFile(const QString &path, const QByteArray &content);
