#pragma once

#include "platform/SettingsFile.h"

#include <QObject>
#include <QPointer>
#include <memory>

struct FormContext;
class ChannelMonitor;
class DisplayLines;
class HistoryRecorder;
class HistoryStore;
class HistoryWindow;
struct HistoryKey;
class QAction;
class RecordControl;

// The history of the display behind the File menu's "履歴(&H)…": keeps what the display lines
// show from start-up on, live and in replay (the recorded times then), and opens the history
// window on it. The window is made the first time it is asked for.
//
// Thread contract: window thread only.
class HistoryControl : public QObject
{
    Q_OBJECT
public:
    HistoryControl(FormContext &ctx, DisplayLines &lines, ChannelMonitor &channels,
                   RecordControl &records, SettingsFile settings, QObject *parent = nullptr);
    ~HistoryControl() override;

    HistoryStore &store() { return *m_store; }
    HistoryRecorder &recorder() { return *m_recorder; }
    // The window, made on first use.
    HistoryWindow &window();
    void showWindow();

private:
    QString comment(const HistoryKey &key, int bit) const;

    FormContext &m_ctx;
    ChannelMonitor &m_channels;
    SettingsFile m_settings;
    std::unique_ptr<HistoryStore> m_store;
    HistoryRecorder *m_recorder = nullptr;
    QPointer<HistoryWindow> m_window;
    QAction *m_item = nullptr;
};
