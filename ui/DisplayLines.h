#pragma once

#include "link/DisplayLineModel.h"
#include "link/DisplayLineTexts.h"
#include "link/FrameSync.h"
#include "platform/widgets/ImageBox.h"

#include <QPixmap>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <optional>

struct FormContext;
struct DisplayFrame;
class QLabel;
class QLineEdit;
class QWidget;

// The display frame receiver and the four display lines: RecPkt reads the received bytes, checks
// the frames and draws the unit's state, the mode layout, the line texts and the lamps. The line
// texts it offers to the other areas (DisplayLineTexts) are read from its IO, Addr and Data
// elements.
//
// Thread contract: window thread only (RecPkt runs inside the serial port's receive notice).
class DisplayLines : public DisplayLineTexts
{
    Q_OBJECT
public:
    explicit DisplayLines(FormContext &ctx, QObject *parent = nullptr);

    // Creates the display-line elements (IO, Addr, Data, Edit, Panel1, BitAddrTxt and the
    // column captions) in the client area.
    void build();

    // Looks up the elements the receiver switches (made by other areas too). Run once every
    // area has built its elements and ControlTable is filled.
    void bindElements();

    // The receive handler: reads up to receiveSize bytes with ReadChar. A bad frame ends the
    // event early, leaving the rest for the next event.
    void RecPkt(QObject *sender, int receiveSize);

    // Start-up state of the receiver, the unit flags and the lamp memories.
    void resetReceiver();
    // A new connection: RecvCount 0, PrevChar a blank.
    void resetForConnect() { m_sync.resetForConnect(); }
    // "--", "000", "0000" on every line.
    void blankLines();
    // After a disconnect: every kind shows "--", the rest stays.
    void clearKinds();

    void SelectLine(int line);
    void ShowLineLamps(int line, const QString &data, const QString &kind, const QString &addr);

    QString kind(int line) const override;
    QString addr(int line) const override;
    QString data(int line) const override;
    int CurLine() const override { return m_curLine; }
    const FrameSync &receiver() const { return m_sync; }
    const DisplayLineModel &model() const { return m_model; }

    // Calls out to the areas that follow each line refresh.
    std::function<void(int line, const QString &data, const QString &addr)> UpdateChannelMonitor;
    std::function<void(int line)> ShowCommentLine;
    std::function<void(const QString &addr)> PlaceBitCursor;
    // After each good frame has been drawn.
    std::function<void()> FrameTaken;
    // Put after "QXモニター" in the mode captions while not empty: "[再生]" while a recording
    // plays.
    QString titleMark;
    // The outer window heights of the two display modes, applied on every good frame; the
    // window keeps its height while they are not set.
    std::function<int()> BitModeHeight;
    std::function<int()> DataModeHeight;

    // The receive indicator flips once per checked frame. What the screen shows follows that
    // state at most every kIndicatorPeriod: a unit sends dozens of frames a second, and a
    // repaint of the indicator for each of them cost more than the rest of the display.
    bool indicatorOn() const { return m_indicatorOn; }
    void hideIndicator();
    static constexpr std::chrono::milliseconds kIndicatorPeriod{100};
    // The monotonic clock the indicator's period is measured by (the steady clock; tests give
    // a simulated one).
    std::function<std::chrono::milliseconds()> indicatorClock;

    // Good frames handled since start-up (for diagnostics and benchmarks).
    quint64 goodFrames() const { return m_goodFrames; }

private:
    void handleFrame(const DisplayFrame &frame);
    void applyBitLayout(const DisplayFrame &frame);
    void applyDataLayout();
    void lineContent(const DisplayFrame &frame);
    // Sets a line's three texts; true when any of them changed.
    bool setLineTexts(int line, const QString &kind, const QString &addr, const QString &data);
    void setOuterHeight(const std::function<int()> &modeHeight);
    void setModeTitle(bool bitMode);
    void toggleIndicator();
    void showIndicatorState();

    FormContext &m_ctx;
    FrameSync m_sync;
    DisplayLineModel m_model;
    int m_curLine = 0;
    quint64 m_goodFrames = 0;

    std::array<QLabel *, 4> m_io{};
    std::array<QLabel *, 4> m_addr{};
    std::array<QLabel *, 4> m_data{};
    std::array<QLineEdit *, 4> m_edit{};
    QWidget *m_panel1 = nullptr;
    QLabel *m_bitAddrTxt = nullptr;

    // Bound after every area is built; any may be missing in partial test windows.
    struct Bound {
        QLabel *status = nullptr;
        QWidget *recIndicator = nullptr;
        QWidget *tenKeyPanel = nullptr;
        QWidget *ioPanel = nullptr;
        QWidget *btnDATA = nullptr;
        QWidget *pageControl = nullptr;
        QWidget *btnONSET = nullptr;
        QWidget *bitCursor = nullptr;
        QWidget *btnUP = nullptr;
        QWidget *btnDOWN = nullptr;
        QWidget *bitModeHelp = nullptr;
        ImageBox *grnLED = nullptr, *darkGrnLED = nullptr, *redLED = nullptr, *darkRedLED = nullptr,
                 *onLed = nullptr, *offLed = nullptr;
        std::array<ImageBox *, 64> lamps{};
    } m_el;
    // The colour kind of the lamp pictures OnLed and OffLed hold: green until an OUT line.
    ImageBox::Colour m_lampColour = ImageBox::Colour::Green;
    // The two mode captions for the titleMark they were made with.
    struct {
        QString mark, bit, data;
    } m_titles;
    int m_statusState = -1; // 0 monitor, 1 debug, -1 not shown yet
    // The conversion message the bit range last put in the status bar; empty when none.
    QString m_rangeMessage;
    bool m_indicatorOn = false;
    // When the screen last caught up with m_indicatorOn, on indicatorClock; none yet.
    std::optional<std::chrono::milliseconds> m_indicatorShownAt;
    QTimer m_indicatorTimer;
};
