#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

struct FormContext;
class ChannelMonitor;
class DisplayLines;
class LineRecorder;
class LineRecording;
class PortControl;
class QAction;
class QLabel;
class RecordingTap;
class ReplayPlayer;
class TCommX;
class QWidget;

// Recording, replay and CSV export of the line, on the File menu.
//
// Recording: while a port is connected, "記録(&L)…" writes everything the receiver reads and
// every key frame sent into a recording file (LineRecorder); the status bar shows it with the
// recorded time. Unchecking the item, disconnecting, losing the device and the window's end
// stop it; a failing disk stops it with the reason in the status bar.
//
// Replay: "再生(&P)…" plays a recording, while no port is connected, through the receiver
// exactly as a live line: the receiver reads from the player's port, which sends nothing. The
// keys, connect and the Port menu are inactive meanwhile, the title says "QXモニター[再生]",
// and a transport bar (its own small window) plays, pauses, changes the speed (1×, 10×, as
// fast as possible), shows the recorded time on a slider that can be dragged, and stops.
//
// Files are read off the window thread, with a progress box that can cancel.
//
// Thread contract: window thread only.
class RecordControl : public QObject
{
    Q_OBJECT
public:
    RecordControl(FormContext &ctx, TCommX &comm, DisplayLines &lines, ChannelMonitor &channels,
                  PortControl &ports, QObject *parent = nullptr);
    ~RecordControl() override;

    // Recording into path (the menu asks for it). Throws EFCreateError, or Exception when no
    // port is connected.
    void startRecording(const QString &path);
    // reason: what the status bar says; empty: "記録を終えました".
    void stopRecording(const QString &reason = QString());
    bool isRecording() const;
    LineRecorder &recorder() { return *m_recorder; }

    // Reads a recording with a progress box. Throws EFOpenError; returns null when cancelled.
    std::shared_ptr<LineRecording> loadRecording(const QString &path);

    // Plays recording (its file name for the title bar). Throws Exception while a port is
    // connected.
    void startReplay(std::shared_ptr<const LineRecording> recording, const QString &name);
    void openReplay(const QString &path);
    void stopReplay();
    ReplayPlayer *player() const { return m_player; }
    QWidget *transportBar() const { return m_bar; }

    // The CSV of a recording file; returns the number of rows. Throws on failure.
    qsizetype exportCsv(const QString &recordingPath, const QString &csvPath);

signals:
    // The display goes back to its start-up state because a replay starts from its beginning
    // (it starts, or rewinds for a seek back); sent before the lines are blanked.
    void displayReset();

private:
    void buildMenu();
    void recordTriggered(bool on);
    void replayTriggered();
    void exportTriggered();
    void tick();
    void resetDisplay();
    void holdKeys();
    void setKeysInactive(bool inactive);
    QString askRecordingToOpen(const QString &caption);

    FormContext &m_ctx;
    TCommX &m_comm;
    DisplayLines &m_lines;
    ChannelMonitor &m_channels;
    PortControl &m_ports;
    LineRecorder *m_recorder = nullptr;
    std::unique_ptr<RecordingTap> m_tap;
    ReplayPlayer *m_player = nullptr;
    QWidget *m_bar = nullptr;
    QAction *m_recordItem = nullptr;
    QAction *m_replayItem = nullptr;
    QAction *m_exportItem = nullptr;
    QLabel *m_status = nullptr;
    QTimer m_tick;
    QString m_lastFolder;
    QList<QPair<QPointer<QObject>, bool>> m_savedStates;
};
