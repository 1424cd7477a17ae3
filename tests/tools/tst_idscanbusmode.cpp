// The bus mode shapes the ID page: captions, counters shown, the radio buttons.
#include "tests/tools/IdScanRig.h"

#include <QLabel>
#include <QRadioButton>
#include <QTest>

class tst_IdScanBusMode : public QObject
{
    Q_OBJECT

private slots:
    void busModeShapesThePanel_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("busMode");
        QTest::addColumn<QString>("biCaption");
        QTest::addColumn<QString>("boCaption");
        QTest::newRow("Q3/Q4") << 1 << 0 << 0 << "Bit IN"
                               << "Bit OUT";
        QTest::newRow("Q2") << 0 << 1 << 1 << "IN"
                            << "OUT";
        QTest::newRow("2 from the settings file is Q3/Q4") << 1 << 2 << 0 << "Bit IN"
                                                           << "Bit OUT";
        QTest::newRow("negative value is Q3/Q4") << 1 << -1 << 0 << "Bit IN"
                                                 << "Bit OUT";
    }

    void busModeShapesThePanel()
    {
        QFETCH(int, from);
        QFETCH(int, mode);
        QFETCH(int, busMode);
        QFETCH(QString, biCaption);
        QFETCH(QString, boCaption);

        Rig rig;
        rig.client.show();
        rig.scan->SetBusMode(from);
        rig.scan->SetBusMode(mode);

        const bool q2 = busMode == 1;
        QCOMPARE(rig.scan->BusMode(), busMode);
        QCOMPARE(rig.client.findChild<QRadioButton *>("RadioButtonQ2")->isChecked(), q2);
        QCOMPARE(rig.client.findChild<QRadioButton *>("RadioButtonQ4")->isChecked(), !q2);
        QCOMPARE(rig.client.findChild<QLabel *>("BILabel")->text(), biCaption);
        QCOMPARE(rig.client.findChild<QLabel *>("BOLabel")->text(), boCaption);
        for (const char *name : {"WILabel", "WOLabel", "LMLabel", "UWLabel"})
            QCOMPARE(rig.client.findChild<QLabel *>(name)->isEnabled(), !q2);
        for (const char *name : {"WICnt", "WOCnt", "LumoCnt", "UWCnt"})
            QCOMPARE(rig.client.findChild<QLineEdit *>(name)->isVisible(), !q2);
        for (const char *name : {"BICnt", "BOCnt", "TotalCnt"})
            QVERIFY(rig.client.findChild<QLineEdit *>(name)->isVisible());
    }

    void radioButtonsChooseTheMode()
    {
        Rig rig;
        rig.client.findChild<QRadioButton *>("RadioButtonQ2")->click();
        QCOMPARE(rig.scan->BusMode(), 1);
        QCOMPARE(rig.client.findChild<QLabel *>("BILabel")->text(), QString("IN"));
        rig.client.findChild<QRadioButton *>("RadioButtonQ4")->click();
        QCOMPARE(rig.scan->BusMode(), 0);
        QCOMPARE(rig.client.findChild<QLabel *>("BOLabel")->text(), QString("Bit OUT"));
    }
};

QTEST_MAIN(tst_IdScanBusMode)
#include "tst_idscanbusmode.moc"
