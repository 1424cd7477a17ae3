#include "link/KeyCodes.h"

#include <QSet>
#include <QTest>

// The unit's key codes and kinds. Each key's frame, byte for byte, is checked where the keys are
// pressed (the key pad's tests); here, that the table is whole and the readers agree with it.
class tst_KeyCodes : public QObject
{
    Q_OBJECT
private slots:
    void keysCoverEveryCodeOnce()
    {
        QList<QByteArray> codes;
        for (const KeyCodes::NamedKey &key : KeyCodes::kNamedKeys)
            codes.append(key.code);
        for (int d = 0; d < KeyCodes::kDigitCount; ++d)
            codes.append(KeyCodes::digit(d));
        QSet<QByteArray> expected{"ON"};
        for (int n = 1; n <= 30; ++n)
            expected.insert(QByteArray::number(n).rightJustified(2, '0'));
        QCOMPARE(codes.size(), expected.size());
        QCOMPARE(QSet<QByteArray>(codes.begin(), codes.end()), expected);
    }

    void digitCodesReadBack_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("value"); // -1: no hexadecimal key
        QTest::newRow("06 is key 0") << QByteArray("06") << 0;
        QTest::newRow("15 is key 9") << QByteArray("15") << 9;
        QTest::newRow("21 is key F") << QByteArray("21") << 15;
        QTest::newRow("05 is DATA") << QByteArray("05") << -1;
        QTest::newRow("22 is UP") << QByteArray("22") << -1;
        QTest::newRow("ON is INI") << QByteArray("ON") << -1;
        QTest::newRow("one digit") << QByteArray("6") << -1;
        QTest::newRow("three digits") << QByteArray("006") << -1;
        QTest::newRow("a letter") << QByteArray("0a") << -1;
    }
    void digitCodesReadBack()
    {
        QFETCH(QByteArray, code);
        QFETCH(int, value);
        QCOMPARE(KeyCodes::digitOf(code).value_or(-1), value);
        if (value >= 0)
            QCOMPARE(KeyCodes::digit(value), code);
    }

    void digitOutsideTheKeysHasNoCode()
    {
        QVERIFY(KeyCodes::digit(-1).isEmpty());
        QVERIFY(KeyCodes::digit(16).isEmpty());
    }

    void kindTexts_data()
    {
        QTest::addColumn<char>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 IN") << '1' << "IN";
        QTest::newRow("2 OUT") << '2' << "OUT";
        QTest::newRow("3 ERR") << '3' << "ERR";
        QTest::newRow("4 ID") << '4' << "ID";
        QTest::newRow("5 OWT") << '5' << "OWT";
        QTest::newRow("6 IWT") << '6' << "IWT";
        QTest::newRow("7 EID") << '7' << "EID";
        QTest::newRow("8 ER#") << '8' << "ER#";
        QTest::newRow("9 shows as itself") << '9' << "9";
        QTest::newRow("0 shows as itself") << '0' << "0";
        QTest::newRow("a letter shows as itself") << 'W' << "W";
        // Bytes of 0x80 and above read as Shift-JIS, like the address and data beside them.
        QTest::newRow("0xB1 half-width katakana") << char(0xB1) << QStringLiteral("ｱ");
        QTest::newRow("0xDF half-width semi-voiced mark") << char(0xDF) << QStringLiteral("ﾟ");
    }
    void kindTexts()
    {
        QFETCH(char, kind);
        QFETCH(QString, text);
        QCOMPARE(KeyCodes::kindText(kind), text);
        // Only the eight kinds have a name of their own.
        QCOMPARE(QString(KeyCodes::kindName(kind)), kind >= '1' && kind <= '8' ? text : QString());
    }
};

QTEST_GUILESS_MAIN(tst_KeyCodes)
#include "tst_keycodes.moc"
