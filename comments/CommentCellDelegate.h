#pragma once

#include <QStyledItemDelegate>

class CommentGrid;

// The comment grid's cell editor: what enters a cell is checked as it is typed, pasted or
// committed by an input method (see the validator in the .cpp), and a text that fails the check
// never reaches the model.
//
// Thread contract: window thread only.
class CommentCellDelegate : public QStyledItemDelegate
{
public:
    CommentCellDelegate(const CommentGrid *grid, QObject *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    const CommentGrid *m_grid;
};
