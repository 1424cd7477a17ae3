#pragma once

#include <QAbstractScrollArea>
#include <QPoint>

class HistoryStore;
class HistoryView;

// What the bit timeline and the trends share: a label column at the left, the time axis at the
// top (clock time with milliseconds, the spans with no frames shaded, a mark for every change),
// the shared time range drawn over the rest, and the ways to move it: the wheel zooms about the
// pointer (Shift+wheel scrolls the rows), dragging pans, the pointer is the time cursor.
//
// Thread contract: window thread only.
class TimePlot : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr int kLabelWidth = 230;
    static constexpr int kAxisHeight = 34;

    TimePlot(const HistoryStore &store, HistoryView &view, QWidget *parent = nullptr);

    // Viewport x of a time, and back; the plot runs from kLabelWidth to the viewport's width.
    double xOf(qint64 timeUs) const;
    qint64 timeAt(double x) const;

    // Local clock time with milliseconds.
    static QString clockText(qint64 timeUs);

    // Rows changed (a new key): the scroll range follows.
    void updateRows();

protected:
    virtual int contentHeight() const = 0;
    // Draws everything below the axis, rows shifted up by the scroll position.
    virtual void paintRows(QPainter &p, int scroll) = 0;

    const HistoryStore &store() const { return m_store; }
    // The range being painted (fixed for the whole of one paint).
    qint64 paintStartUs() const { return m_paintStart; }
    qint64 paintEndUs() const { return m_paintEnd; }
    HistoryView &view() const { return m_view; }
    int plotWidth() const;
    // The gaps (no frames heard) within the shown range, as x ranges of the viewport.
    QList<QPair<int, int>> gapColumns() const;
    // Per key: whether it was on the display at some time of the range being painted.
    std::vector<char> keysInView() const;
    // Marks the axis strip at x (a change there); collected while painting the rows.
    std::vector<quint8> &changeColumns() { return m_changeColumns; }

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void drawAxis(QPainter &p);

    const HistoryStore &m_store;
    HistoryView &m_view;
    bool m_dragging = false;
    QPoint m_dragFrom;
    qint64 m_dragStartUs = 0;
    qint64 m_dragEndUs = 0;
    std::vector<quint8> m_changeColumns;
    // The range of the paint being drawn, so that every x of it uses the same mapping.
    qint64 m_paintStart = 0;
    qint64 m_paintEnd = 0;
    bool m_painting = false;
};
