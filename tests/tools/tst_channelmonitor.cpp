#include "tools/ChannelMonitor.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace
{

struct Rig {
    Rig()
    {
        page = new QWidget(&client);
        monitor = new ChannelMonitor(page, &client);
        monitor->fillLists();
    }

    QLabel *label(const QString &name) const { return client.findChild<QLabel *>(name); }
    QLabel *cell(int line, int channel) const
    {
        return label(QStringLiteral("StaticText%1").arg(3 + 8 * line + channel));
    }
    QString header(int line) const { return label(QStringLiteral("stAD%1").arg(line + 1))->text(); }
    bool isRed(int channel) const
    {
        return label(QStringLiteral("chno%1").arg(channel))
                   ->palette()
                   .color(QPalette::WindowText) == QColor(Qt::red);
    }
    QList<int> redChannels() const
    {
        QList<int> red;
        for (int c = 0; c < 8; ++c) {
            if (isRed(c))
                red.append(c);
        }
        return red;
    }
    QStringList column(int line) const
    {
        QStringList texts;
        for (int c = 0; c < 8; ++c)
            texts.append(cell(line, c)->text());
        return texts;
    }
    // Chooses an item of FormatSel or RadixSel the way the user does.
    void choose(const char *selector, const QString &item)
    {
        const auto *box = client.findChild<QGroupBox *>(QLatin1String(selector));
        for (QRadioButton *button : box->findChildren<QRadioButton *>()) {
            if (button->text() == item)
                button->click();
        }
    }

    QWidget client;
    QWidget *page = nullptr;
    ChannelMonitor *monitor = nullptr;
};

const QString k13Bit = QStringLiteral("13ビットフォーマット");
const QString k12Bit = QStringLiteral("12ビットフォーマット");
const QString kDecimal = QStringLiteral("10進表示");
const QString kHex = QStringLiteral("16進表示");

QStringList emptyColumn()
{
    return QStringList(8, QStringLiteral("******"));
}

} // namespace

class tst_ChannelMonitor : public QObject
{
    Q_OBJECT

private slots:
    void spreadsWordsByChannel_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("radix");
        QTest::addColumn<QString>("data");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("value");

        QTest::newRow("8123 13-bit decimal") << k13Bit << kDecimal << "8123" << 4 << "291";
        QTest::newRow("8123 13-bit hexadecimal") << k13Bit << kHex << "8123" << 4 << "0123";
        QTest::newRow("8123 12-bit ignores bit 15") << k12Bit << kDecimal << "8123" << 0 << "291";
        QTest::newRow("FFFF 13-bit") << k13Bit << kHex << "FFFF" << 7 << "1FFF";
        QTest::newRow("FFFF 12-bit") << k12Bit << kDecimal << "FFFF" << 7 << "4095";
        QTest::newRow("FFFF 12-bit hexadecimal") << k12Bit << kHex << "FFFF" << 7 << "0FFF";
        QTest::newRow("7FFF 13-bit") << k13Bit << kDecimal << "7FFF" << 3 << "8191";
        QTest::newRow("7FFF 12-bit") << k12Bit << kDecimal << "7FFF" << 7 << "4095";
        QTest::newRow("1000 13-bit") << k13Bit << kDecimal << "1000" << 0 << "4096";
        QTest::newRow("1000 12-bit") << k12Bit << kDecimal << "1000" << 1 << "0";
        QTest::newRow("lower-case digits") << k13Bit << kHex << "a00f" << 5 << "000F";
        QTest::newRow("end-of-list stars count as 0") << k13Bit << kDecimal << "****" << 0 << "0";
        QTest::newRow("blanks count as 0") << k12Bit << kHex << "    " << 0 << "0000";
        QTest::newRow("one bad character counts as 0") << k13Bit << kDecimal << "E1G0" << 0 << "0";
    }
    void spreadsWordsByChannel()
    {
        QFETCH(QString, format);
        QFETCH(QString, radix);
        QFETCH(QString, data);
        QFETCH(int, channel);
        QFETCH(QString, value);

        Rig rig;
        rig.choose("FormatSel", format);
        rig.choose("RadixSel", radix);
        rig.monitor->UpdateChannelMonitor(2, data, "W05");

        QCOMPARE(rig.header(2), QString("Word(5)"));
        QStringList expected = emptyColumn();
        expected[channel] = value;
        QCOMPARE(rig.column(2), expected);
        for (int line : {0, 1, 3})
            QCOMPARE(rig.column(line), emptyColumn());
        QCOMPARE(rig.redChannels(), QList<int>{channel});
    }

    void onlyWordAddressesReachTheCells_data()
    {
        QTest::addColumn<QString>("addr");
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("written");

        QTest::newRow("word 31") << "W31"
                                 << "Word(31)" << true;
        QTest::newRow("word 0") << "W00"
                                << "Word(0)" << true;
        QTest::newRow("bit address") << "016"
                                     << "---" << false;
        QTest::newRow("empty address") << ""
                                       << "---" << false;
        QTest::newRow("lower-case w") << "w05"
                                      << "---" << false;
        QTest::newRow("W and letters") << "WAB"
                                       << "WAB" << false;
        QTest::newRow("W and one digit") << "W5 "
                                         << "W5 " << false;
        QTest::newRow("W and a sign") << "W-1"
                                      << "W-1" << false;
        QTest::newRow("W alone") << "W"
                                 << "W" << false;
    }
    void onlyWordAddressesReachTheCells()
    {
        QFETCH(QString, addr);
        QFETCH(QString, header);
        QFETCH(bool, written);

        Rig rig;
        rig.monitor->UpdateChannelMonitor(1, "8123", "W01"); // channel 4 red, 291 in line 2
        QStringList expected = rig.column(1);
        rig.monitor->UpdateChannelMonitor(1, "2007", addr);

        QCOMPARE(rig.header(1), header);
        if (written)
            expected[1] = "7";
        QCOMPARE(rig.column(1), expected);
        QCOMPARE(rig.redChannels(), QList<int>{written ? 1 : 4});
    }

    void redLabelFollowsTheLatestUpdate()
    {
        Rig rig;
        rig.monitor->UpdateChannelMonitor(0, "8123", "W02");
        rig.monitor->UpdateChannelMonitor(3, "2001", "W07");
        QCOMPARE(rig.redChannels(), QList<int>{1});
        QCOMPARE(rig.cell(0, 4)->text(), QString("291"));
        QCOMPARE(rig.cell(3, 1)->text(), QString("1"));
        QCOMPARE(rig.header(0), QString("Word(2)"));
        QCOMPARE(rig.header(3), QString("Word(7)"));

        rig.monitor->UpdateChannelMonitor(0, "E000", "W02");
        QCOMPARE(rig.redChannels(), QList<int>{7});
        QCOMPARE(rig.cell(0, 4)->text(), QString("291"));
    }

    void selectorsTakeEffectWithTheNextUpdate()
    {
        Rig rig;
        rig.monitor->UpdateChannelMonitor(0, "8123", "W02");
        rig.choose("RadixSel", kHex);
        rig.choose("FormatSel", k12Bit);
        QCOMPARE(rig.cell(0, 4)->text(), QString("291"));
        rig.monitor->UpdateChannelMonitor(0, "8123", "W02");
        QCOMPARE(rig.cell(0, 0)->text(), QString("0123"));
        QCOMPARE(rig.cell(0, 4)->text(), QString("291"));
    }

    void clearEmptiesCellsOnly()
    {
        Rig rig;
        for (int line = 0; line < 4; ++line)
            rig.monitor->UpdateChannelMonitor(line, QString::number(2 * line + 1) + "123",
                                              QStringLiteral("W1%1").arg(line));
        rig.client.findChild<QPushButton *>("Button1")->click();

        for (int line = 0; line < 4; ++line) {
            QCOMPARE(rig.column(line), emptyColumn());
            QCOMPARE(rig.header(line), QStringLiteral("Word(1%1)").arg(line));
        }
        QCOMPARE(rig.redChannels(), QList<int>{3});
    }
};

QTEST_MAIN(tst_ChannelMonitor)
#include "tst_channelmonitor.moc"
