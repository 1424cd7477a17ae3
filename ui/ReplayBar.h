#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;
class QToolButton;
class ReplayPlayer;

// The transport bar of a replay, a small window of its own beside the main window: play or
// pause, the speed (1×, 10×, as fast as possible), the recorded wall-clock time on a slider
// (dragging it seeks; the display is replayed from the start up to there), and stop.
//
// Thread contract: window thread only.
class ReplayBar : public QWidget
{
    Q_OBJECT
public:
    ReplayBar(ReplayPlayer &player, const QString &name, QWidget *parent);

    QToolButton *playButton() const { return m_play; }
    QComboBox *speedBox() const { return m_speed; }
    QSlider *slider() const { return m_slider; }
    QLabel *timeLabel() const { return m_time; }

    // "hh:mm:ss.zzz" local time of a recorded moment, and +h:mm:ss since the start.
    static QString timeText(qint64 timeUs, qint64 startUs);

signals:
    void stopRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showPosition(qint64 timeUs);
    void showState();

    ReplayPlayer &m_player;
    QToolButton *m_play = nullptr;
    QComboBox *m_speed = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_time = nullptr;
    QToolButton *m_stop = nullptr;
};
