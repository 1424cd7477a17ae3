#pragma once

#include "ui/FormContext.h"

#include <QMainWindow>
#include <QMap>
#include <QStringList>
#include <memory>

class BitPanel;
class ChannelMonitor;
class IdScan;
class CommentGrid;
class CommentPanels;
class DisplayFreshness;
class DisplayLines;
class HistoryControl;
class KeyPad;
class PortControl;
class RecordControl;
class TCommX;
class QAction;
class QActionGroup;
class QMenu;
class QScrollArea;
class QStatusBar;
class QTabWidget;
class TAboutDlg;

// The main window: builds every element, runs the start-up, keeps the settings, and wires the
// areas (display lines, keys, bit panel, tools, comments, port control) together. Each area's
// operations live in its own class; TForm1 owns the elements and the small shared state.
//
// Thread contract: window thread only.
class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    struct Options {
        QString settingsPath;         // the settings (.ini) file, read at start, written first
        QString fallbackSettingsPath; // written when settingsPath cannot be; empty: none
        QStringList arguments;        // command-line arguments after the program name
        // Port number -> device for this run only, before the settings file's [PORTS]; never
        // written anywhere.
        QMap<int, QString> ports;
    };

    explicit TForm1(const Options &options, QWidget *parent = nullptr);
    ~TForm1() override;

    // Writes the seven settings keys; throws EFCreateError "<path> に書き込めません" when a key
    // cannot be written (later keys are then not written). When the settings file is read-only
    // or a key fails and a fallback file is given, all keys go to the fallback, and the first
    // such write says where it wrote (standard error, and the status bar while the window is
    // up).
    void SaveSettings();
    // Asks about unsaved comment edits first; cancelled, the program goes on.
    void Exit1Click();
    void About1Click();
    // The end a termination signal asks for: no question, unsaved comment edits are kept in the
    // comment grid's recovery file; then the window closes as usual. False if it stayed open.
    bool closeOnSignal();

    FormContext &context() { return m_ctx; }
    DisplayLines &displayLines() { return *m_lines; }
    KeyPad &keyPad() { return *m_keyPad; }
    BitPanel &bitPanel() { return *m_bitPanel; }
    CommentPanels &commentPanels() { return *m_commentPanels; }
    CommentGrid &commentGrid() { return *m_commentGrid; }
    IdScan &idScan() { return *m_idScan; }
    ChannelMonitor &channelMonitor() { return *m_channels; }
    PortControl &portControl() { return *m_portControl; }
    RecordControl &recordControl() { return *m_recordControl; }
    HistoryControl &historyControl() { return *m_historyControl; }
    TCommX &CommX1() { return *m_commX1; }
    TAboutDlg *aboutBox() const { return m_about; }
    const QString &settingsPath() const { return m_settingsPath; }

    int SelectedPort() const;

    // Outer size in the design's Windows pixels (see setOuterSize). The client area always has
    // that size; when the window would not fit the available area of its screen (a large
    // scale factor, a small screen), the window is cut to that area and the client area
    // scrolls inside it.
    QSize outerSize() const;
    void setOuterSize(int width, int height);
    DisplayFreshness &displayFreshness() { return *m_freshness; }

    // Where a window saved at (left, top) with the given outer size is shown: there when its
    // top left corner and a grip of its caption lie on the available area of a screen,
    // otherwise moved into the primary screen's available area.
    static QPoint placeInView(qint64 left, qint64 top, const QSize &outer);

    static constexpr int kFrameWidth = 9;   // Windows frame: left and right borders
    static constexpr int kFrameHeight = 54; // caption, menu bar and bottom border

protected:
    // Status tips (the Port menu's devices) show in the window's own status bar, and the
    // message they covered comes back when the pointer leaves.
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void buildClient();
    void buildMenus();
    void buildToolStrip();
    void buildTabs();
    void layoutStatusBar();
    QRect availableArea() const;
    void keepInAvailableArea(bool askServer = false);
    QSize frameExtent() const;

    Options m_options;
    QString m_settingsPath;
    FormContext m_ctx;
    std::unique_ptr<DisplayLines> m_lines;
    KeyPad *m_keyPad = nullptr;
    BitPanel *m_bitPanel = nullptr;
    CommentPanels *m_commentPanels = nullptr;
    CommentGrid *m_commentGrid = nullptr;
    IdScan *m_idScan = nullptr;
    ChannelMonitor *m_channels = nullptr;
    TCommX *m_commX1 = nullptr;
    PortControl *m_portControl = nullptr;
    RecordControl *m_recordControl = nullptr;
    HistoryControl *m_historyControl = nullptr;
    TAboutDlg *m_about = nullptr;

    DisplayFreshness *m_freshness = nullptr;
    QScrollArea *m_scroller = nullptr;
    QWidget *m_client = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QTabWidget *m_pageControl = nullptr;
    QActionGroup *m_portGroup = nullptr;
    QString m_coveredMessage;
    bool m_showingTip = false;
    bool m_cutToScreen = false; // the window is smaller than its layout; the client scrolls
    bool m_fallbackReported = false;
};
