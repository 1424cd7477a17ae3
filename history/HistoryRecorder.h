#pragma once

#include <QObject>
#include <array>
#include <functional>

class DisplayLineTexts;
class HistoryStore;

// Feeds the history from the display lines, whatever feeds them (a live port, a replay): each
// changed line becomes a change of the key it shows, each good frame a frame heard. It reads the
// lines' texts, not the frames, so it sees what the window shows.
//
// clock gives the time of the frame being handled (the recorded time in a replay, the wall
// clock live); bitMode whether the unit's display is in bit mode (the key of a line depends on
// it).
//
// Thread contract: window thread only.
class HistoryRecorder : public QObject
{
    Q_OBJECT
public:
    HistoryRecorder(HistoryStore &store, const DisplayLineTexts &lines, QObject *parent = nullptr);

    std::function<qint64()> clock;
    std::function<bool()> bitMode;

    // The frame source starts from its beginning (a replay starts or rewinds): what was
    // kept belongs to another time line and goes.
    void restart();

    HistoryStore &store() { return m_store; }

signals:
    // Something was added (a change or a frame); the views redraw when they next may.
    void added();
    // The history was emptied.
    void cleared();

private:
    void lineChanged(int line);
    void frameTaken();

    HistoryStore &m_store;
    const DisplayLineTexts &m_lines;
    std::array<int, 4> m_shown{-1, -1, -1, -1};
};
