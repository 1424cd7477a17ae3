#pragma once

#include "platform/SettingsFile.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class BitTimeline;
class ChannelTrends;
class HistoryRecorder;
class HistoryView;
class QCheckBox;
class QLabel;
struct HistoryKey;

// The history window: the bit timeline above, the eight-channel trends below (a splitter
// between), and a tool row: zoom in, zoom out, the whole history, CSV of the range shown, the
// window as PNG, the channels shown. A line below says how much is held and how far back it
// reaches. Modeless and resizable; its place and size are kept in the settings file, section
// HISTORY, when it closes.
//
// While shown it redraws at most every kRefreshPeriod as changes arrive; hidden, it draws
// nothing (the history is still kept).
//
// Thread contract: window thread only.
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRefreshPeriod = 500; // ms
    static const QString kSection;

    HistoryWindow(HistoryRecorder &recorder, SettingsFile settings, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    HistoryView &view() { return *m_view; }
    BitTimeline &timeline() { return *m_timeline; }
    ChannelTrends &trends() { return *m_trends; }

    // The comment of a key's bit; the word format of the channel monitor; the source's clock.
    void setComments(std::function<QString(const HistoryKey &key, int bit)> comment);
    void setTwelveBit(std::function<bool()> twelveBit);
    void setClock(std::function<qint64()> now);

    // "n 件の変化 (上限 m 件)、hh:mm:ss.zzz から": what the line below the views says.
    QString reachText() const;

    // The range shown as CSV; the window as PNG. Throw EFCreateError naming the file.
    void exportCsv(const QString &path) const;
    void exportPng(const QString &path);

    // Shows the window where it was last closed (or a default place), raised.
    void showWindow();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void scheduleRefresh();
    void refresh();
    void askCsv();
    void askPng();
    void saveGeometryToSettings();
    void restoreGeometryFromSettings();

    HistoryRecorder &m_recorder;
    SettingsFile m_settings;
    HistoryView *m_view = nullptr;
    BitTimeline *m_timeline = nullptr;
    ChannelTrends *m_trends = nullptr;
    QLabel *m_reach = nullptr;
    QTimer m_refresh;
    bool m_placed = false;
    QString m_lastFolder;
};
