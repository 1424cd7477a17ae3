#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

struct FormContext;

// Tells the user when the display no longer follows the unit: after kQuietTime without a good
// display frame while a port is connected, the line texts turn grey and the status bar says
// so; the next good frame, or the end of the connection, takes the mark away. It also tells
// screen readers when the unit's state text (デバッグ / モニター) changes.
//
// Thread contract: window thread only.
class DisplayFreshness : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kQuietTime{2000};
    // The status bar's notice as the sources hold it; the bar shows its translation.
    static const QString kNotice;

    explicit DisplayFreshness(FormContext &ctx, QObject *parent = nullptr);

    void connectionChanged(bool connected);
    // After each good frame has been drawn.
    void frameTaken();

    bool stale() const { return m_stale; }

    // Tells assistive technology that an element's name (a label's text) changed; by default
    // through the toolkit's accessibility events, which reach screen readers over AT-SPI.
    std::function<void(QObject *element)> announce;

private:
    void watchFromNow();
    void quietTimeUp();
    void setStale(bool stale);
    void announceStateText();

    FormContext &m_ctx;
    QTimer m_quiet;
    QElapsedTimer m_sinceFrame;
    QPointer<QLabel> m_status;
    bool m_connected = false;
    bool m_stale = false;
    QString m_stateText;
};
