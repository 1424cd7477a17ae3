#include "link/UnitLink.h"
#include "platform/Exceptions.h"
#include "tests/support/FakeDisplayLines.h"
#include "tools/IdScan.h"
#include "tools/IdScanExport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

// The ID scan result as CSV and as tab-separated text, from the page the scan fills.
class tst_IdScanExport : public QObject
{
    Q_OBJECT

    UnitLink m_link;
    FakeDisplayLines m_lines;
    QWidget m_sheet;
    IdScan *m_scan = nullptr;
    QTableWidget *m_grid = nullptr;

    void setRow(int row, const QStringList &cells)
    {
        if (m_grid->rowCount() <= row)
            m_grid->setRowCount(row + 1);
        for (int c = 0; c < cells.size(); ++c)
            m_grid->setItem(row, c, new QTableWidgetItem(cells[c]));
    }

    void setCount(const char *name, const QString &value)
    {
        m_sheet.findChild<QLineEdit *>(name)->setText(value);
    }

private slots:
    void initTestCase()
    {
        m_scan = new IdScan(m_link, m_lines, &m_sheet);
        m_grid = m_sheet.findChild<QTableWidget *>("IDStringGrid");
        QVERIFY(m_grid);
        setRow(0, {"6FF", "BI", "255", "OK"});
        setRow(1, {"905", "LM", "5", "ERR"});
        setRow(2, {"1A0", "", "416", "OK"});
        for (const auto &[name, value] : {std::pair{"BICnt", "1"},
                                          {"BOCnt", "0"},
                                          {"WICnt", "0"},
                                          {"WOCnt", "0"},
                                          {"LumoCnt", "1"},
                                          {"UWCnt", "0"},
                                          {"TotalCnt", "2"}})
            setCount(name, value);
    }

    void csvHoldsRowsAndTheShownCounters()
    {
        IdScanExport out(m_sheet.findChild<QWidget *>("IDPanel"));
        m_scan->SetBusMode(0);
        QCOMPARE(out.csvText(),
                 QStringLiteral("ID,Type,Adrs,状態\r\n6FF,BI,255,OK\r\n"
                                "905,LM,5,ERR\r\n1A0,,416,OK\r\n\r\n"
                                "Bit IN,1\r\nBit OUT,0\r\nWord IN,0\r\nWord "
                                "OUT,0\r\nLumo IN,1\r\nLumo OUT,0\r\nTotal IDs,2\r\n"));
        // Q2 hides four counters: they are left out.
        m_scan->SetBusMode(1);
        QVERIFY(out.csvText().endsWith("\r\n\r\nIN,1\r\nOUT,0\r\nTotal IDs,2\r\n"));
        m_scan->SetBusMode(0);

        QTemporaryDir dir;
        const QString path = dir.filePath("scan.csv");
        out.saveCsv(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "\xEF\xBB\xBF" + out.csvText().toUtf8());
        QVERIFY_THROWS_EXCEPTION(EFCreateError, out.saveCsv(dir.filePath("no/such.csv")));
    }

    void selectionCopiedAsTabSeparatedText()
    {
        IdScanExport out(m_sheet.findChild<QWidget *>("IDPanel"));
        m_grid->clearSelection();
        QCOMPARE(out.selectionText(), QString());
        m_grid->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 2), true);
        QCOMPARE(out.selectionText(), QStringLiteral("6FF\tBI\t255\n905\tLM\t5\n"));
        // The copy item (Ctrl+C on the grid) puts it on the clipboard.
        QAction *copy = nullptr;
        for (QAction *a : m_grid->actions())
            if (a->objectName() == QLatin1String("IDGridCopy"))
                copy = a;
        QVERIFY(copy);
        QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), out.selectionText());
    }
};

QTEST_MAIN(tst_IdScanExport)
#include "tst_idscanexport.moc"
