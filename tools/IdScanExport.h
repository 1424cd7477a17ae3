#pragma once

#include <QObject>
#include <QString>

class QTableWidget;
class QWidget;

// The ID scan result taken out of the window: a context menu on IDStringGrid saves the grid and
// the counters as CSV (UTF-8 with a byte-order mark, so that spreadsheets show the Japanese
// header; CR LF) and copies the selected cells to the clipboard as tab-separated text (also
// Ctrl+C on the grid).
//
// CSV layout: the header "ID,Type,Adrs,状態", one line per scanned row, an empty line, then
// one line per counter shown in the current bus mode: its label and its count ("Bit IN,3").
//
// Thread contract: window thread only.
class IdScanExport : public QObject
{
    Q_OBJECT
public:
    // idPanel: the ID scan page's panel, holding IDStringGrid and the counters.
    explicit IdScanExport(QWidget *idPanel, QObject *parent = nullptr);

    QString csvText() const;
    QString selectionText() const;
    // Throws EFCreateError when the file cannot be written.
    void saveCsv(const QString &path) const;
    void copySelection() const;

private:
    void showMenu(const QPoint &at);
    void saveTriggered();

    QWidget *m_panel;
    QTableWidget *m_grid = nullptr;
};
