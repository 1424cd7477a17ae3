#include "ui/ReplayBar.h"

#include "link/LineRecording.h"
#include "record/ReplayPlayer.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include <limits>

ReplayBar::ReplayBar(ReplayPlayer &player, const QString &name, QWidget *parent)
    : QWidget(parent, Qt::Tool), m_player(player)
{
    setObjectName("ReplayBar");
    setWindowTitle(tr("再生 - %1").arg(name));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);

    m_play = new QToolButton(this);
    m_play->setObjectName("ReplayPlay");
    m_play->setShortcut(Qt::Key_Space);
    connect(m_play, &QToolButton::clicked, this, [this] {
        if (m_player.isPlaying())
            m_player.pause();
        else
            m_player.play();
    });
    row->addWidget(m_play);

    m_speed = new QComboBox(this);
    m_speed->setObjectName("ReplaySpeed");
    m_speed->addItem(QStringLiteral("1×"), 1);
    m_speed->addItem(QStringLiteral("10×"), 10);
    m_speed->addItem(tr("最速"), 0);
    m_speed->setToolTip(tr("再生の速さ"));
    connect(m_speed, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_player.setSpeed(m_speed->itemData(i).toInt()); });
    row->addWidget(m_speed);

    const LineRecording &rec = m_player.recording();
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName("ReplayPosition");
    m_slider->setMinimumWidth(240);
    // Milliseconds since the first record; a seek happens when the slider is let go.
    const qint64 lastUs = rec.chunks().empty() ? rec.startUs() : rec.chunks().back().timeUs;
    m_slider->setRange(0, int(std::min<qint64>((lastUs - rec.startUs()) / 1000, INT_MAX)));
    m_slider->setTracking(false);
    m_slider->setToolTip(tr("記録の時刻 (ドラッグでその時刻まで再生)"));
    connect(m_slider, &QSlider::sliderMoved, this, [this](int ms) {
        m_time->setText(timeText(m_player.recording().startUs() + qint64(ms) * 1000,
                                 m_player.recording().startUs()));
    });
    // The slider counts whole milliseconds: its end is the end of the recording.
    connect(m_slider, &QSlider::valueChanged, this, [this](int ms) {
        m_player.seek(ms >= m_slider->maximum()
                          ? std::numeric_limits<qint64>::max()
                          : m_player.recording().startUs() + qint64(ms) * 1000);
    });
    row->addWidget(m_slider, 1);

    m_time = new QLabel(this);
    m_time->setObjectName("ReplayTime");
    row->addWidget(m_time);

    m_stop = new QToolButton(this);
    m_stop->setObjectName("ReplayStop");
    m_stop->setText(tr("停止"));
    m_stop->setToolTip(tr("再生をやめる"));
    connect(m_stop, &QToolButton::clicked, this, &ReplayBar::stopRequested);
    row->addWidget(m_stop);

    connect(&m_player, &ReplayPlayer::positionChanged, this, &ReplayBar::showPosition);
    connect(&m_player, &ReplayPlayer::stateChanged, this, &ReplayBar::showState);
    showPosition(m_player.positionUs());
    showState();
}

QString ReplayBar::timeText(qint64 timeUs, qint64 startUs)
{
    const qint64 since = std::max<qint64>(0, timeUs - startUs) / 1000000;
    return QDateTime::fromMSecsSinceEpoch(timeUs / 1000).toString("HH:mm:ss.zzz") +
           QStringLiteral(" (+%1:%2:%3)")
               .arg(since / 3600)
               .arg(since / 60 % 60, 2, 10, QLatin1Char('0'))
               .arg(since % 60, 2, 10, QLatin1Char('0'));
}

void ReplayBar::showPosition(qint64 timeUs)
{
    if (m_slider->isSliderDown())
        return;
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(int((timeUs - m_player.recording().startUs()) / 1000));
    m_time->setText(timeText(timeUs, m_player.recording().startUs()));
}

void ReplayBar::showState()
{
    m_play->setText(m_player.isPlaying() ? tr("一時停止") : tr("再生"));
}

void ReplayBar::closeEvent(QCloseEvent *event)
{
    event->ignore();
    emit stopRequested();
}
