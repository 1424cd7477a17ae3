#include "ui/KeyboardAccess.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>
#include <algorithm>

namespace
{

// Children whose tops lie within this many pixels of a row's first one read as that row.
constexpr int kRowTolerance = 8;

bool isContainer(const QWidget *w)
{
    // Controls are stops of their own; only plain widgets, frames and group boxes hold stops.
    if (qobject_cast<const QGroupBox *>(w))
        return true;
    return w->focusPolicy() == Qt::NoFocus && !w->inherits("QAbstractScrollArea") &&
           !qobject_cast<const QAbstractButton *>(w);
}

QList<QWidget *> readingOrder(QWidget *container)
{
    QList<QWidget *> children;
    for (QObject *o : container->children())
        if (auto *w = qobject_cast<QWidget *>(o); w && !w->isWindow())
            children << w;
    std::stable_sort(children.begin(), children.end(),
                     [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
    // Rows, each sorted from the left.
    auto rowStart = children.begin();
    while (rowStart != children.end()) {
        const int top = (*rowStart)->y();
        auto rowEnd = std::find_if(rowStart, children.end(), [top](const QWidget *w) {
            return w->y() > top + kRowTolerance;
        });
        std::stable_sort(rowStart, rowEnd,
                         [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
        rowStart = rowEnd;
    }
    return children;
}

void collectStops(QWidget *container, QList<QWidget *> &stops)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(container)) {
        stops << tabs->tabBar();
        for (int i = 0; i < tabs->count(); ++i)
            collectStops(tabs->widget(i), stops);
        return;
    }
    for (QWidget *child : readingOrder(container)) {
        // A tab widget hands its focus to its tab bar, which comes first in its own stops.
        if ((child->focusPolicy() & Qt::TabFocus) && !child->focusProxy() &&
            !qobject_cast<QTabWidget *>(child))
            stops << child;
        if (isContainer(child) || qobject_cast<QTabWidget *>(child))
            collectStops(child, stops);
    }
}

} // namespace

void KeyboardAccess::orderTabStops(QWidget *client, const QRect &visibleArea)
{
    for (QWidget *w : client->findChildren<QWidget *>()) {
        if (w->isWindow())
            continue;
        const QRect placed(w->mapTo(client, QPoint(0, 0)), w->size());
        if (!placed.intersects(visibleArea))
            w->setFocusPolicy(Qt::NoFocus);
        if (auto *view = qobject_cast<QAbstractItemView *>(w))
            view->setTabKeyNavigation(false);
        // A tab widget's stop is its tab bar. As the bar's focus proxy it would be a stop of
        // its own, at its place in the order of creation, leading Tab back into the walk.
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            tabs->setFocusProxy(nullptr);
            tabs->setFocusPolicy(Qt::NoFocus);
        }
    }
    QList<QWidget *> stops;
    collectStops(client, stops);
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

void KeyboardAccess::nameButtonsByHint(QWidget *root)
{
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->text().isEmpty() && button->accessibleName().isEmpty())
            button->setAccessibleName(button->toolTip());
    }
}
