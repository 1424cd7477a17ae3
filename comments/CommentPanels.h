#pragma once

#include <QObject>

class QPushButton;
class QWidget;

// The comment view (two black panels with 64 entries below the front panel) and the switch of
// the comment editor (the grid at the window's right). Both are shown by sizing the window: a
// smaller window leaves them outside its edges. The panels ask the window for its size with
// outerHeightRequested and outerWidthRequested (outer sizes in the design's Windows pixels); each
// leaves the other dimension as it is.
//
// Entry n = 16L + k (display line L 0..3, bit k 0..15) is the label Lab<n>, the read-only field
// CmntEdit<n> and the lamp Image<64 + 16L + 15 - k>, which carries the lamp number of the main
// lamp it copies (16L + 15 - k). What they show is written by the bit panel.
//
// Thread contract: window thread only.
class CommentPanels : public QObject
{
    Q_OBJECT
public:
    // Outer window sizes: panels shown or hidden, editor shown or hidden.
    static constexpr int kShownHeight = 722;
    static constexpr int kHiddenHeight = 332;
    static constexpr int kEditorWidth = 920;
    static constexpr int kNarrowWidth = 694;

    // Builds btnComment, btnCmntEdit, CmntPanel1 and CmntPanel2 with their entries on the
    // window's client area. Neither the window size nor the flags are touched until the
    // settings are applied with setCommentOn and setCommentEdit.
    explicit CommentPanels(QWidget *client, QObject *parent = nullptr);

    // Settings values: 1 on, 0 off.
    int CommentOn() const { return m_commentOn; }
    int CommentEdit() const { return m_commentEdit; }

    // Start-up, with the value read from the settings file (its low 8 bits count; every value
    // but 1 is taken as 0, so the buttons toggle it properly): stores it and applies it.
    void setCommentOn(int stored);
    void setCommentEdit(int stored);

    // 1 shows the panels (outer height 722, also the height of both display modes) and enables
    // btnCmntEdit; any other value hides them (332) and disables it.
    void ShowCommentPanels(int on);
    // The outer window heights the display frames apply in bit mode and in data mode.
    int BitModeHeight() const { return m_modeHeight; }
    int DataModeHeight() const { return m_modeHeight; }
    // 1 makes the window 920 wide, showing the editor; any other value 694.
    void ShowCommentEditor(int on);

    void btnCommentClick();
    void btnCmntEditClick();

    QWidget *panel(int index) const { return index == 0 ? m_panel1 : m_panel2; }

signals:
    void outerHeightRequested(int height);
    void outerWidthRequested(int width);

private:
    void buildPanel(QWidget *panel, int firstLine);

    QPushButton *m_btnComment = nullptr;
    QPushButton *m_btnCmntEdit = nullptr;
    QWidget *m_panel1 = nullptr;
    QWidget *m_panel2 = nullptr;
    int m_commentOn = 0;
    int m_commentEdit = 0;
    int m_modeHeight = kHiddenHeight;
};
