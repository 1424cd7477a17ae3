#include "comments/CommentCellDelegate.h"

#include "comments/CommentGrid.h"
#include "comments/CommentText.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QValidator>

namespace
{

// What enters a cell: look-alikes in their code page 932 form; line ends, NUL and Ctrl-Z, which
// cannot stand inside a line of the comment file, as blanks; a character Shift-JIS cannot carry
// refused at once, with a notice naming it.
class CellValidator : public QValidator
{
public:
    CellValidator(const CommentGrid *grid, QLineEdit *editor)
        : QValidator(editor), m_grid(grid), m_editor(editor)
    {
    }

    State validate(QString &input, int &) const override
    {
        for (QChar &c : input) {
            if (c == u'\r' || c == u'\n' || c == u'\0' || c == QChar(0x1A))
                c = u' ';
            else
                c = QChar(CommentText::lookAlike(c.unicode()));
        }
        const qsizetype bad = CommentText::firstUnencodable(input);
        if (bad < 0)
            return Acceptable;
        m_grid->noticeEditor(
            m_editor, QCoreApplication::translate(
                          "CommentGrid", "文字 %1 は Shift-JIS で保存できないため入力できません")
                          .arg(CommentText::describeCharacter(input, bad)));
        return Invalid;
    }

private:
    const CommentGrid *m_grid;
    QLineEdit *m_editor;
};

} // namespace

CommentCellDelegate::CommentCellDelegate(const CommentGrid *grid, QObject *parent)
    : QStyledItemDelegate(parent), m_grid(grid)
{
}

QWidget *CommentCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setValidator(new CellValidator(m_grid, line));
    return editor;
}

void CommentCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    QString text = line->text();
    int pos = 0;
    // A text set without typing (an input method's commit) is checked here too.
    if (line->validator() && line->validator()->validate(text, pos) == QValidator::Invalid)
        return;
    model->setData(index, text, Qt::EditRole);
}
