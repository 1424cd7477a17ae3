#pragma once

#include "ui/FormContext.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class DisplayLines;
class QAction;
class QActionGroup;
class QMenu;
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
        QString settingsPath;  // the settings (.ini) file
        QStringList arguments; // command-line arguments after the program name
    };

    explicit TForm1(const Options &options, QWidget *parent = nullptr);
    ~TForm1() override;

    // Writes the seven settings keys; throws EFCreateError "<path> に書き込めません" when a key
    // cannot be written (later keys are then not written).
    void SaveSettings();
    void Exit1Click();
    void About1Click();

    FormContext &context() { return m_ctx; }
    DisplayLines &displayLines() { return *m_lines; }
    TAboutDlg *aboutBox() const { return m_about; }
    const QString &settingsPath() const { return m_settingsPath; }

    int SelectedPort() const { return m_selectedPort; }
    quint8 CommentOn() const { return m_commentOn; }
    quint8 CommentEdit() const { return m_commentEdit; }

    // Outer size in the design's Windows pixels (see setOuterSize).
    QSize outerSize() const;
    void setOuterSize(int width, int height);

    // Where the settings file lives: beside the program as "<program>.ini", or in the user's
    // configuration folder when the program's folder cannot take it.
    static QString defaultSettingsPath();

    static constexpr int kFrameWidth = 9;   // Windows frame: left and right borders
    static constexpr int kFrameHeight = 54; // caption, menu bar and bottom border

private:
    void FormCreate();
    void FormDestroy();
    void buildClient();
    void buildMenus();
    void buildToolStrip();
    void buildTabs();
    void fillControlTable();
    void layoutStatusBar();

    Options m_options;
    QString m_settingsPath;
    FormContext m_ctx;
    std::unique_ptr<DisplayLines> m_lines;
    TAboutDlg *m_about = nullptr;

    QWidget *m_client = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QTabWidget *m_pageControl = nullptr;
    QActionGroup *m_portGroup = nullptr;

    int m_selectedPort = 1;
    quint8 m_commentOn = 0;
    quint8 m_commentEdit = 0;
    int m_busMode = 0;
};
