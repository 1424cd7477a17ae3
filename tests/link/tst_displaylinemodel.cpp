#include "link/DisplayLineModel.h"
#include "platform/Exceptions.h"

#include <QTest>

class tst_DisplayLineModel : public QObject
{
    Q_OBJECT
private slots:
    void lampStates_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<int>("states");
        QTest::newRow("8001: first and last lamp") << "8001" << 0x8001;
        QTest::newRow("0001: last lamp shows bit 0") << "0001" << 0x8000;
        QTest::newRow("lower case lights nothing") << "12ab" << (1 << 3 | 1 << 6);
        QTest::newRow("blanks light nothing") << "    " << 0;
        QTest::newRow("FFFF") << "FFFF" << 0xFFFF;
        QTest::newRow("short text") << "F" << 0x000F;
    }
    void lampStates()
    {
        QFETCH(QString, data);
        QFETCH(int, states);
        QCOMPARE(int(DisplayLineModel::lampStates(data)), states);
    }

    void bitRangeText()
    {
        QCOMPARE(DisplayLineModel::bitRangeText("000"), QStringLiteral("0 ～ 63"));
        QCOMPARE(DisplayLineModel::bitRangeText("100"), QStringLiteral("64 ～ 127"));
        QCOMPARE(DisplayLineModel::bitRangeText("W01"), QString());
        QVERIFY_THROWS_EXCEPTION(EConvertError, DisplayLineModel::bitRangeText("1 2"));
    }

    void refreshRunsOnChangeOfTextOrCursorLine()
    {
        DisplayLineModel m;
        QVERIFY(m.needsRefresh(2, "8001", "OUT", "016", 0));
        m.remember(2, "8001", "OUT", "016", 0);
        QVERIFY(!m.needsRefresh(2, "8001", "OUT", "016", 0));
        QVERIFY(m.needsRefresh(2, "8001", "OUT", "016", 2)); // the cursor line moved
        QVERIFY(m.needsRefresh(2, "8002", "OUT", "016", 0));
        QVERIFY(m.needsRefresh(1, "0000", "--", "000", 0)); // first frame of a line
    }
};

QTEST_GUILESS_MAIN(tst_DisplayLineModel)
#include "tst_displaylinemodel.moc"
