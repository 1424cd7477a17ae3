#pragma once

#include "link/UnitWait.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>

class DisplayLineTexts;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;
class QWidget;
class UnitLink;

// The ID scan on the "IDスキャン" page: drives the unit's ID list with key presses, lists the
// registered IDs in IDStringGrid (kind, address, state) and counts them by kind, in the bus mode
// Q3/Q4 (BusMode 0) or Q2 (BusMode 1).
//
// Grid rows: IDStringGrid's header row is the table's horizontal header, so the grid's data
// row r (1, 2, ...) is table row r - 1.
//
// Every wait for the unit processes window events, so the display keeps being drawn and the
// window stays usable; a wait also ends when the port closes or when the awaited change has not
// come within the step time-out, and the scan then stops and says why in the status bar. A
// second press while a scan runs is ignored. Closing the window the page sits in (File
// "終了(&X)" or the window's close) ends a running scan at once: no key is pressed after it.
//
// The status bar tells what the scan that just ran did: how many IDs a complete scan found, or
// why a scan stopped and how many IDs it read by then. A scan cut short leaves the counters
// empty, so that a partial count is never taken for the bus's; its rows stay in the grid.
//
// Thread contract: window thread only.
class IdScan : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kScanStepTimeout{3000};

    // Builds the page's elements inside tabSheet1. Keys go to the unit through link; the unit's
    // answers are read from the cursor line of lines (CurLine is read again at every step, so
    // the scan follows the cursor). statusBar, when given, shows a running scan and why one
    // stopped. Reads nothing at construction, so SetBusMode may be applied at once (start-up
    // runs it before the display lines are filled).
    IdScan(const UnitLink &link, const DisplayLineTexts &lines, QWidget *tabSheet1,
           QStatusBar *statusBar = nullptr);

    // 0 = Q3/Q4, 1 = Q2; any other value is taken as 0.
    void SetBusMode(int mode);
    int BusMode() const { return m_busMode; }

    // Brings the unit to the start of its ID list, then scans it. Throws EConvertError (after
    // leaving the rows read so far) when an ID does not read as a number.
    void btnIDScanClick();
    // Steps through the ID list from the ID the unit shows now.
    void RunIDScan();

    bool isScanning() const { return m_scanning; }

    // Ends a running scan at its next step without pressing another key (the window closing).
    void cancelScan();

    // Shortens the step time-out (tests); kScanStepTimeout otherwise.
    void setStepTimeout(std::chrono::milliseconds timeout) { m_stepTimeout = timeout; }

    void RadioButtonQ4Click();
    void RadioButtonQ2Click();

private:
    class ScanGuard;
    friend class ScanGuard;

    struct LineTexts {
        QString kind;
        QString addr;
        QString data;
    };

    LineTexts cursorLine() const;
    UnitWait::Result pressAndWait(const QByteArray &key,
                                  const std::function<bool(const LineTexts &)> &shown);

    void beginScan();
    void endScan();
    void scanLoop();
    // How a wait for the unit ended, the window closing included.
    enum class Step { Shown, PortClosed, TimedOut, Cancelled, Gone };
    Step step(const QByteArray &key, const std::function<bool(const LineTexts &)> &shown);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void showInterruption(Step why, int idsRead = -1);
    void showCounts(const QHash<QString, int> &counts);
    void clearCounts();
    void setCell(int row, int column, const QString &text);

    const UnitLink &m_link;
    const DisplayLineTexts &m_lines;
    QStatusBar *m_statusBar = nullptr;
    int m_busMode = 0;
    bool m_scanning = false;
    bool m_reported = false; // the status bar tells how this scan ended
    bool m_cancelled = false;
    QPointer<QWidget> m_window; // watched for its closing while a scan runs
    QString m_statusBeforeScan;
    std::chrono::milliseconds m_stepTimeout = kScanStepTimeout;

    QWidget *m_panel = nullptr;
    QTableWidget *m_grid = nullptr;
    QLabel *m_biLabel = nullptr;
    QLabel *m_boLabel = nullptr;
    QLabel *m_wiLabel = nullptr;
    QLabel *m_woLabel = nullptr;
    QLabel *m_lmLabel = nullptr;
    QLabel *m_uwLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QLineEdit *m_biCnt = nullptr;
    QLineEdit *m_boCnt = nullptr;
    QLineEdit *m_wiCnt = nullptr;
    QLineEdit *m_woCnt = nullptr;
    QLineEdit *m_lumoCnt = nullptr;
    QLineEdit *m_uwCnt = nullptr;
    QLineEdit *m_totalCnt = nullptr;
    QGroupBox *m_radioGroup = nullptr;
    QRadioButton *m_q4 = nullptr;
    QRadioButton *m_q2 = nullptr;
    QPushButton *m_scanButton = nullptr;
};
