#include "comments/CommentPanels.h"

#include "platform/widgets/ImageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

namespace
{

// Left edges of the four groups of eight entries in a panel; each display line takes two.
constexpr int kGroupLeft[4] = {10, 176, 346, 512};
// Tops of the eight rows of a group, with a wider gap after the fourth.
constexpr int kRowTop[8] = {16, 36, 56, 76, 100, 120, 140, 160};
constexpr int kLabelDrop = 4;
constexpr int kLabelWidth = 30;
constexpr int kLabelHeight = 12;
constexpr int kLampOffset = 34;
constexpr int kLampSize = 17;
constexpr int kEditOffset = 54;
constexpr int kEditWidth = 100;
constexpr int kEditHeight = 19;

// Every stored value but 1 is off; only the low 8 bits of the stored number count.
int flagFromStored(int stored)
{
    return (stored & 0xFF) == 1 ? 1 : 0;
}

} // namespace

CommentPanels::CommentPanels(QWidget *client, QObject *parent) : QObject(parent)
{
    m_btnComment = new QPushButton(tr("ｺﾒﾝﾄ ON/OFF"), client);
    m_btnComment->setObjectName(QStringLiteral("btnComment"));
    m_btnComment->setGeometry(536, 0, 75, 21);
    connect(m_btnComment, &QPushButton::clicked, this, &CommentPanels::btnCommentClick);

    m_btnCmntEdit = new QPushButton(tr("ｺﾒﾝﾄ編集"), client);
    m_btnCmntEdit->setObjectName(QStringLiteral("btnCmntEdit"));
    m_btnCmntEdit->setGeometry(616, 0, 65, 21);
    connect(m_btnCmntEdit, &QPushButton::clicked, this, &CommentPanels::btnCmntEditClick);

    m_panel1 = new QWidget(client);
    m_panel1->setObjectName(QStringLiteral("CmntPanel1"));
    m_panel1->setGeometry(8, 264, 673, 193);
    m_panel2 = new QWidget(client);
    m_panel2->setObjectName(QStringLiteral("CmntPanel2"));
    m_panel2->setGeometry(8, 456, 673, 193);
    buildPanel(m_panel1, 0);
    buildPanel(m_panel2, 2);
}

void CommentPanels::buildPanel(QWidget *panel, int firstLine)
{
    QPalette black = panel->palette();
    black.setColor(QPalette::Window, Qt::black);
    panel->setPalette(black);
    panel->setAutoFillBackground(true);

    QPalette white = panel->palette();
    white.setColor(QPalette::WindowText, Qt::white);

    for (int line = firstLine; line < firstLine + 2; ++line) {
        for (int k = 0; k < 16; ++k) {
            const int n = 16 * line + k;
            const int lamp = 16 * line + 15 - k;
            const int left = kGroupLeft[2 * (line - firstLine) + k / 8];
            const int top = kRowTop[k % 8];

            auto *label = new QLabel(panel);
            label->setObjectName(QStringLiteral("Lab%1").arg(n));
            label->setGeometry(left, top + kLabelDrop, kLabelWidth, kLabelHeight);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setPalette(white);

            auto *image = new ImageBox(panel);
            image->setObjectName(QStringLiteral("Image%1").arg(64 + lamp));
            image->setGeometry(left + kLampOffset, top, kLampSize, kLampSize);
            image->setLampNumber(lamp);
            image->setGround(Qt::black); // the panel's ground

            auto *edit = new QLineEdit(panel);
            edit->setObjectName(QStringLiteral("CmntEdit%1").arg(n));
            edit->setGeometry(left + kEditOffset, top, kEditWidth, kEditHeight);
            edit->setFrame(false);
            edit->setReadOnly(true);
            // A comment longer than the field shows its beginning (setText leaves the cursor,
            // and so the visible part, at the end).
            connect(edit, &QLineEdit::textChanged, edit, [edit] { edit->setCursorPosition(0); });
        }
    }
}

void CommentPanels::setCommentOn(int stored)
{
    m_commentOn = flagFromStored(stored);
    ShowCommentPanels(m_commentOn);
}

void CommentPanels::setCommentEdit(int stored)
{
    m_commentEdit = flagFromStored(stored);
    ShowCommentEditor(m_commentEdit);
}

void CommentPanels::ShowCommentPanels(int on)
{
    const bool shown = on == 1;
    const int height = shown ? kShownHeight : kHiddenHeight;
    emit outerHeightRequested(height);
    m_panel1->setVisible(shown);
    m_panel2->setVisible(shown);
    m_modeHeight = height;
    m_btnCmntEdit->setEnabled(shown);
}

void CommentPanels::ShowCommentEditor(int on)
{
    emit outerWidthRequested(on == 1 ? kEditorWidth : kNarrowWidth);
}

void CommentPanels::btnCommentClick()
{
    m_commentOn ^= 1;
    if (m_commentOn == 0)
        m_commentEdit = 0;
    ShowCommentPanels(m_commentOn);
    ShowCommentEditor(m_commentEdit);
}

void CommentPanels::btnCmntEditClick()
{
    m_commentEdit ^= 1;
    ShowCommentEditor(m_commentEdit);
}
