#include "link/Frames.h"
#include "unit/MonitorUnit.h"

#include <QTest>

using namespace std::chrono_literals;

namespace
{

// A small bus, independent of the built-in scenario.
Scenario testBus()
{
    Scenario s;
    s.ids = {{0x000, false}, {0x105, false}, {0x2FF, false}, {0x620, true}, {0x905, false}};
    s.inputBits[0] = 0x8001;
    s.inputBits[4] = 0xFFFF;
    s.inputBits[5] = 0x1234;
    s.outputBits[0] = 0x0003;
    s.inputWords = {{0, 0x1234}, {3, 0}};
    s.outputWords = {{1, 0x5A5A}};
    s.counters = {{3, 2}};
    s.blinkBits = {{2, 500}};
    s.counterPeriod = 100ms;
    s.channelPeriod = 250ms;
    s.eightChannel = {{4, 13, {0, 100, 200, 300, 400, 500, 600, 8191}},
                      {5, 12, {4095, 1, 2, 3, 4, 5, 6, 7}}};
    s.inputWords[4] = 0;
    s.inputWords[5] = 0;
    return s;
}

void press(MonitorUnit &unit, const QByteArrayList &codes)
{
    for (const QByteArray &c : codes)
        QVERIFY2(unit.pressKey(c), c.constData());
}

QByteArrayList repeat(const QByteArray &code, int n)
{
    QByteArrayList out;
    for (int i = 0; i < n; ++i)
        out.append(code);
    return out;
}

QByteArrayList addresses(const MonitorUnit &unit)
{
    QByteArrayList out;
    for (const auto &l : unit.lines())
        out.append(l.addr);
    return out;
}

int cursorLine(const MonitorUnit &unit)
{
    const auto lines = unit.lines();
    for (int i = 0; i < 4; ++i)
        if (lines[i].cursor)
            return i;
    return -1;
}

const QByteArray kIn = "01", kOut = "02", kId = "03", kErr = "04", kData = "05", kUp = "22",
                 kEnable = "23", kLeft = "24", kRight = "25", kMode = "26", kDown = "27",
                 kEnt = "28", kClr = "29", kOn = "30", kIni = "ON";

QByteArray hexKey(int digit)
{
    return QByteArray::number(6 + digit).rightJustified(2, '0');
}

} // namespace

class tst_MonitorUnit : public QObject
{
    Q_OBJECT

private slots:
    void framesAreWellFormedInEveryState_data()
    {
        QTest::addColumn<QByteArrayList>("keys");
        QTest::newRow("power-on") << QByteArrayList{};
        QTest::newRow("debug state") << QByteArrayList{kEnable};
        QTest::newRow("bit mode, monitor state") << QByteArrayList{kMode};
        QTest::newRow("bit mode, debug, cursor 255")
            << (QByteArrayList{kEnable, kMode} + repeat(kDown, 15) + repeat(kLeft, 15));
        QTest::newRow("OUT list scrolled") << (QByteArrayList{kOut} + repeat(kDown, 30));
        QTest::newRow("ID list start") << QByteArrayList{kId};
        QTest::newRow("ID address half typed") << QByteArrayList{kId, hexKey(0)};
        QTest::newRow("ID list end") << (QByteArrayList{kId} + repeat(kLeft, 9));
        QTest::newRow("ERR list") << QByteArrayList{kErr, kDown};
        QTest::newRow("editing a word") << QByteArrayList{kEnable, kOut, kData, hexKey(10)};
    }

    void framesAreWellFormedInEveryState()
    {
        QFETCH(QByteArrayList, keys);
        MonitorUnit unit(testBus());
        press(unit, keys);
        const QByteArrayList frames = unit.displayFrames();
        QCOMPARE(frames.size(), 4);
        int cursors = 0;
        for (int i = 0; i < 4; ++i) {
            const QByteArray &f = frames.at(i);
            QCOMPARE(f.size(), Frames::kDisplayFrameSize);
            QCOMPARE(f.at(0), '*');
            QCOMPARE(f.at(1) & 0xF8, 0x70);
            QCOMPARE(bool(f.at(1) & Frames::kHeaderDebug), unit.debugMode());
            QCOMPARE(bool(f.at(1) & Frames::kHeaderBitMode), unit.bitMode());
            QCOMPARE(f.at(2) & 3, i);
            cursors += (f.at(2) & Frames::kHeaderCursor) ? 1 : 0;
            QVERIFY2(Frames::displayCheckMatches(f.constData()), f.constData());
        }
        QCOMPARE(cursors, 1);
    }

    void unknownCodesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("00") << QByteArray("00");
        QTest::newRow("31") << QByteArray("31");
        QTest::newRow("99") << QByteArray("99");
        QTest::newRow("lower-case on") << QByteArray("on");
        QTest::newRow("one character") << QByteArray("1");
        QTest::newRow("three characters") << QByteArray("011");
        QTest::newRow("letters") << QByteArray("AB");
    }

    void unknownCodesChangeNothing()
    {
        QFETCH(QByteArray, code);
        MonitorUnit unit(testBus());
        press(unit, {kEnable, kDown});
        const QByteArrayList before = unit.displayFrames();
        QVERIFY(!unit.pressKey(code));
        QCOMPARE(unit.displayFrames(), before);
    }

    void enableAndModeSwitchTheState()
    {
        MonitorUnit unit(testBus());
        QVERIFY(!unit.debugMode() && !unit.bitMode());
        press(unit, {kEnable});
        QVERIFY(unit.debugMode() && !unit.bitMode());
        QCOMPARE(unit.displayFrames().at(0).at(1), 'r');
        press(unit, {kMode});
        QCOMPARE(unit.displayFrames().at(0).at(1), 'v');
        press(unit, {kEnable});
        QCOMPARE(unit.displayFrames().at(0).at(1), 't');
        press(unit, {kMode});
        QCOMPARE(unit.displayFrames().at(0).at(1), 'p');
    }

    void listViewRows_data()
    {
        QTest::addColumn<QByteArrayList>("keys");
        QTest::addColumn<QByteArrayList>("addrs");
        QTest::addColumn<int>("cursor");

        const QByteArrayList top{"000", "016", "032", "048"};
        QTest::newRow("IN at power-on") << QByteArrayList{} << top << 0;
        QTest::newRow("down three") << repeat(kDown, 3) << top << 3;
        QTest::newRow("down four scrolls")
            << repeat(kDown, 4) << QByteArrayList{"016", "032", "048", "064"} << 3;
        QTest::newRow("up at the top stays") << QByteArrayList{kUp} << top << 0;
        QTest::newRow("scrolled back up") << (repeat(kDown, 4) + repeat(kUp, 3))
                                          << QByteArrayList{"016", "032", "048", "064"} << 0;
        QTest::newRow("page on") << QByteArrayList{kLeft}
                                 << QByteArrayList{"064", "080", "096", "112"} << 0;
        QTest::newRow("input words follow the bit rows")
            << repeat(kLeft, 5) << QByteArrayList{"W00", "W03", "W04", "W05"} << 0;
        QTest::newRow("output words follow the bit rows")
            << (QByteArrayList{kOut} + repeat(kLeft, 5))
            << QByteArrayList{"208", "224", "240", "W01"} << 0;
        QTest::newRow("down stops at the last row")
            << (QByteArrayList{kOut} + repeat(kDown, 30))
            << QByteArrayList{"208", "224", "240", "W01"} << 3;
        QTest::newRow("IN again starts at the top")
            << (repeat(kDown, 6) + QByteArrayList{kIn}) << top << 0;
    }

    void listViewRows()
    {
        QFETCH(QByteArrayList, keys);
        QFETCH(QByteArrayList, addrs);
        QFETCH(int, cursor);
        MonitorUnit unit(testBus());
        press(unit, keys);
        QCOMPARE(addresses(unit), addrs);
        QCOMPARE(cursorLine(unit), cursor);
    }

    void dataKeyEditsTheCursorRow_data()
    {
        QTest::addColumn<QByteArray>("side");
        QTest::addColumn<QByteArrayList>("digits");
        QTest::addColumn<char>("editKind");
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("stored");

        QTest::newRow("output row, three digits")
            << kOut << QByteArrayList{hexKey(1), hexKey(2), hexKey(15)} << '5' << QByteArray(" 12F")
            << QByteArray("012F");
        QTest::newRow("output row, five digits keep the last four")
            << kOut << QByteArrayList{hexKey(9), hexKey(10), hexKey(11), hexKey(12), hexKey(13)}
            << '5' << QByteArray("ABCD") << QByteArray("ABCD");
        QTest::newRow("input row")
            << kIn << QByteArrayList{hexKey(7)} << '6' << QByteArray("   7") << QByteArray("0007");
        QTest::newRow("nothing typed stores zero")
            << kIn << QByteArrayList{} << '6' << QByteArray("    ") << QByteArray("0000");
    }

    void dataKeyEditsTheCursorRow()
    {
        QFETCH(QByteArray, side);
        QFETCH(QByteArrayList, digits);
        QFETCH(char, editKind);
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, stored);

        MonitorUnit unit(testBus());
        press(unit, {kEnable, side, kDown, kData});
        press(unit, digits);
        QCOMPARE(unit.lines()[1].kind, editKind);
        QCOMPARE(unit.lines()[1].data, typed);
        QCOMPARE(unit.lines()[0].kind, side == kOut ? '2' : '1'); // only the cursor row edits
        press(unit, {kEnt});
        QCOMPARE(unit.lines()[1].kind, side == kOut ? '2' : '1');
        QCOMPARE(unit.lines()[1].data, stored);
    }

    void editIsRefusedOrAbandoned_data()
    {
        QTest::addColumn<QByteArrayList>("keys");
        QTest::newRow("DATA in the monitor state") << QByteArrayList{kOut, kData, hexKey(5), kEnt};
        QTest::newRow("CLR abandons")
            << QByteArrayList{kEnable, kOut, kData, hexKey(5), kClr, kEnt};
        QTest::newRow("a move abandons")
            << QByteArrayList{kEnable, kOut, kData, hexKey(5), kDown, kUp, kEnt};
        QTest::newRow("ENABLE abandons")
            << QByteArrayList{kEnable, kOut, kData, hexKey(5), kEnable, kEnable, kEnt};
    }

    void editIsRefusedOrAbandoned()
    {
        QFETCH(QByteArrayList, keys);
        MonitorUnit unit(testBus());
        press(unit, keys);
        QCOMPARE(unit.lines()[0].kind, '2');
        QCOMPARE(unit.lines()[0].data, QByteArray("0003"));
    }

    void bitCursorMoves_data()
    {
        QTest::addColumn<QByteArrayList>("keys");
        QTest::addColumn<int>("bit");
        QTest::addColumn<int>("line");

        QTest::newRow("24 is one bit higher") << QByteArrayList{kLeft} << 1 << 0;
        QTest::newRow("25 is one bit lower") << QByteArrayList{kLeft, kLeft, kRight} << 1 << 0;
        QTest::newRow("25 stops at bit 0") << QByteArrayList{kRight} << 0 << 0;
        QTest::newRow("27 is 16 on") << QByteArrayList{kDown} << 16 << 1;
        QTest::newRow("22 is 16 back") << QByteArrayList{kDown, kDown, kDown, kUp} << 32 << 2;
        QTest::newRow("22 stops at the start") << QByteArrayList{kLeft, kUp} << 1 << 0;
        QTest::newRow("into the next block") << repeat(kDown, 4) << 64 << 0;
        QTest::newRow("last bit") << (repeat(kDown, 15) + repeat(kLeft, 15)) << 255 << 3;
        QTest::newRow("24 stops at the last bit")
            << (repeat(kDown, 15) + repeat(kLeft, 16)) << 255 << 3;
        QTest::newRow("27 stops at the last row")
            << (repeat(kLeft, 5) + repeat(kDown, 16)) << 245 << 3;
    }

    void bitCursorMoves()
    {
        QFETCH(QByteArrayList, keys);
        QFETCH(int, bit);
        QFETCH(int, line);
        MonitorUnit unit(testBus());
        press(unit, {kEnable, kMode});
        press(unit, keys);
        QCOMPARE(unit.bitCursor(), bit);
        QCOMPARE(unit.lines()[0].addr, QByteArray::number(bit).rightJustified(3, '0'));
        QCOMPARE(cursorLine(unit), line);
    }

    // The window's lamp click waits for the first line's address to change after each arrow.
    void everyMovingArrowChangesTheFirstAddress()
    {
        MonitorUnit unit(testBus());
        press(unit, {kEnable, kMode});
        const QByteArrayList walk = repeat(kDown, 3) + repeat(kLeft, 15) + repeat(kUp, 3) +
                                    repeat(kRight, 15) + repeat(kDown, 5);
        for (const QByteArray &k : walk) {
            const QByteArray before = unit.lines()[0].addr;
            press(unit, {k});
            QVERIFY2(unit.lines()[0].addr != before, k.constData());
        }
    }

    void bitModeShowsTheBlockHoldingTheCursor_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<QByteArrayList>("addrs");
        QTest::addColumn<QByteArrayList>("data");
        QTest::addColumn<int>("line");

        // Every line carries the cursor's address; the block follows from it.
        QTest::newRow("bit 0") << 0 << QByteArrayList{"000", "000", "000", "000"}
                               << QByteArrayList{"8001", "0000", "0000", "0000"} << 0;
        QTest::newRow("bit 70") << 70 << QByteArrayList{"070", "070", "070", "070"}
                                << QByteArrayList{"FFFF", "1234", "0000", "0000"} << 0;
        QTest::newRow("bit 100") << 100 << QByteArrayList{"100", "100", "100", "100"}
                                 << QByteArrayList{"FFFF", "1234", "0000", "0000"} << 2;
    }

    void bitModeShowsTheBlockHoldingTheCursor()
    {
        QFETCH(int, bit);
        QFETCH(QByteArrayList, addrs);
        QFETCH(QByteArrayList, data);
        QFETCH(int, line);
        MonitorUnit unit(testBus());
        press(unit, {kMode});
        press(unit, repeat(kDown, bit / 16) + repeat(kLeft, bit % 16));
        QCOMPARE(addresses(unit), addrs);
        QByteArrayList shown;
        for (const auto &l : unit.lines()) {
            shown.append(l.data);
            QCOMPARE(l.kind, '1');
        }
        QCOMPARE(shown, data);
        QCOMPARE(cursorLine(unit), line);
    }

    void onTogglesTheBitUnderTheCursorInTheDebugState()
    {
        MonitorUnit unit(testBus());
        press(unit, {kOut, kMode, kDown, kLeft, kLeft, kLeft}); // output bit 19
        QCOMPARE(unit.lines()[1].kind, '2');
        press(unit, {kOn});
        QVERIFY(!unit.outputBit(19)); // monitor state: no effect
        press(unit, {kEnable, kOn});
        QVERIFY(unit.outputBit(19));
        QCOMPARE(unit.lines()[1].data, QByteArray("0008"));
        press(unit, {kOn});
        QVERIFY(!unit.outputBit(19));
        QVERIFY(!unit.inputBit(19));

        press(unit, {kMode, kIn, kMode, kOn}); // the cursor stays at bit 19
        QVERIFY(unit.inputBit(19));
        QVERIFY(!unit.outputBit(19));
    }

    void idKeyShowsTheFirstIdAndTypingEntersAnAddress()
    {
        MonitorUnit unit(testBus());
        press(unit, {kIn, kDown, kDown, kId});
        auto l = unit.lines()[0];
        QCOMPARE(l.kind, '4');
        QCOMPARE(l.addr, QByteArray("   "));
        QCOMPARE(l.data.mid(1), QByteArray("000"));
        QVERIFY(l.cursor);
        QCOMPARE(unit.lines()[1].data.mid(1), QByteArray("105")); // preview of the next ID

        const QByteArrayList expected{"0  ", "00 ", "000"};
        for (const QByteArray &addr : expected) {
            press(unit, {hexKey(0)});
            QCOMPARE(unit.lines()[0].addr, addr);
            QCOMPARE(unit.lines()[0].data, QByteArray("    "));
        }
        press(unit, {kEnt});
        QCOMPARE(unit.lines()[0].data.mid(1), QByteArray("000"));
        QCOMPARE(unit.lines()[0].addr, QByteArray("000"));
    }

    void enterStartsAtTheTypedAddress_data()
    {
        QTest::addColumn<QByteArrayList>("digits");
        QTest::addColumn<QByteArray>("addr");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<char>("kind");

        QTest::newRow("1 starts at 100")
            << QByteArrayList{hexKey(1)} << QByteArray("1  ") << QByteArray("0105") << '4';
        QTest::newRow("exact ID") << QByteArrayList{hexKey(2), hexKey(15), hexKey(15)}
                                  << QByteArray("2FF") << QByteArray("02FF") << '4';
        QTest::newRow("erroneous ID shows EID")
            << QByteArrayList{hexKey(6)} << QByteArray("6  ") << QByteArray("0620") << '7';
        QTest::newRow("above every ID")
            << QByteArrayList{hexKey(10)} << QByteArray("A  ") << QByteArray("****") << '4';
        QTest::newRow("a fourth digit starts over")
            << QByteArrayList{hexKey(1), hexKey(2), hexKey(3), hexKey(9)} << QByteArray("9  ")
            << QByteArray("0905") << '4';
        QTest::newRow("CLR clears the address")
            << QByteArrayList{hexKey(9), kClr} << QByteArray("   ") << QByteArray("0000") << '4';
    }

    void enterStartsAtTheTypedAddress()
    {
        QFETCH(QByteArrayList, digits);
        QFETCH(QByteArray, addr);
        QFETCH(QByteArray, data);
        QFETCH(char, kind);
        MonitorUnit unit(testBus());
        press(unit, {kId});
        press(unit, digits);
        press(unit, {kEnt});
        QCOMPARE(unit.lines()[0].addr, addr);
        QCOMPARE(unit.lines()[0].data, data);
        QCOMPARE(unit.lines()[0].kind, kind);
    }

    // Drives the ID list the way the window's scan does, reading only the cursor line, and
    // must find every registered ID in order.
    void windowStyleScanFindsEveryId_data()
    {
        QTest::addColumn<QByteArrayList>("before");
        QTest::newRow("from the IN view") << QByteArrayList{kIn, kDown};
        QTest::newRow("from the middle of the ID list") << QByteArrayList{kId, kLeft, kLeft};
    }

    void windowStyleScanFindsEveryId()
    {
        QFETCH(QByteArrayList, before);
        MonitorUnit unit(testBus());
        press(unit, before);
        auto cur = [&] { return unit.lines()[std::max(0, cursorLine(unit))]; };
        auto waitFor = [&](auto cond) { QVERIFY(cond()); }; // the unit answers at once

        const bool showingIds = cur().kind == '4' || cur().kind == '7';
        if (!showingIds) {
            press(unit, {kId});
            waitFor([&] { return cur().kind == '4' || cur().kind == '7'; });
        } else {
            press(unit, {kId});
            waitFor([&] { return cur().addr == "   "; });
            press(unit, {hexKey(0)});
            waitFor([&] { return cur().addr == "0  "; });
            press(unit, {hexKey(0)});
            waitFor([&] { return cur().addr == "00 "; });
            press(unit, {hexKey(0)});
            waitFor([&] { return cur().addr == "000"; });
            press(unit, {kEnt});
            waitFor([&] { return cur().data != "    "; });
        }
        QStringList rows;
        while (cur().data != "****") {
            rows << QString::fromLatin1(cur().data.mid(1) + (cur().kind == '7' ? " ERR" : " OK"));
            const QByteArray prev = cur().data;
            press(unit, {kLeft});
            waitFor([&] { return cur().data != prev; });
            QVERIFY(rows.size() < 100);
        }
        QCOMPARE(rows, (QStringList{"000 OK", "105 OK", "2FF OK", "620 ERR", "905 OK"}));
        press(unit, {kLeft});
        QCOMPARE(cur().data, QByteArray("****"));
        press(unit, {kRight});
        QCOMPARE(cur().data, QByteArray("0905"));
    }

    void errKeyListsTheErroneousIds()
    {
        MonitorUnit unit(testBus());
        press(unit, {kErr});
        const auto lines = unit.lines();
        QCOMPARE(lines[0].kind, '8');
        QCOMPARE(lines[0].data, QByteArray("0001"));
        QCOMPARE(lines[1].kind, '3');
        QCOMPARE(lines[1].data, QByteArray("0620"));
        QCOMPARE(lines[2].kind, ' ');
    }

    void eightChannelWordsCycleThroughTheirChannels()
    {
        MonitorUnit unit(testBus());
        QList<int> channels13, channels12;
        QList<quint16> words13, words12;
        for (int step = 0; step < 17; ++step) {
            if (step > 0)
                unit.advance(250ms);
            const quint16 w13 = *unit.inputWord(4);
            const quint16 w12 = *unit.inputWord(5);
            channels13 << (w13 >> 13);
            channels12 << ((w12 >> 12) & 7);
            words13 << w13;
            words12 << w12;
            QCOMPARE(w12 & 0x8000, 0); // bit 15 is unused in the 12-bit format
        }
        const QList<int> expected{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 0};
        QCOMPARE(channels13, expected);
        QCOMPARE(channels12, expected);
        QCOMPARE(words13.at(7) & 0x1FFF, 8191);
        QCOMPARE(words12.at(0) & 0x0FFF, 4095);
        QCOMPARE(words12.at(16) & 0x0FFF, (4095 + 14) % 4096); // drifted twice, wrapped
        QVERIFY(words13.at(8) != words13.at(0));               // the values move over time
        QVERIFY(words13.at(16) != words13.at(8));

        // The IN list shows the current word.
        press(unit, repeat(kLeft, 5));
        QCOMPARE(unit.lines()[2].addr, QByteArray("W04"));
        QCOMPARE(unit.lines()[2].data,
                 QByteArray::number(*unit.inputWord(4), 16).toUpper().rightJustified(4, '0'));
    }

    void valuesChangeWithTime()
    {
        MonitorUnit unit(testBus());
        unit.advance(60ms);
        QCOMPARE(*unit.inputWord(3), 0);
        unit.advance(60ms); // the two parts add up to one period
        QCOMPARE(*unit.inputWord(3), 2);
        unit.advance(300ms);
        QCOMPARE(*unit.inputWord(3), 8);

        QCOMPARE(unit.inputBit(2), false);
        unit.advance(80ms); // 500 ms since the start
        QCOMPARE(unit.inputBit(2), true);
        unit.advance(1000ms);
        QCOMPARE(unit.inputBit(2), true);
        unit.advance(500ms);
        QCOMPARE(unit.inputBit(2), false);
        QCOMPARE(unit.lines()[0].data, QByteArray("8001"));
    }

    void iniReturnsToTheStartAndRestoresOutputs()
    {
        MonitorUnit unit(testBus());
        press(unit, {kEnable, kOut, kMode, kLeft, kLeft, kOn});
        QVERIFY(unit.outputBit(2));
        press(unit, {kIni});
        QCOMPARE(unit.bitCursor(), 0);
        QVERIFY(!unit.outputBit(2));
        QVERIFY(unit.outputBit(0));
        QVERIFY(unit.debugMode());
        QVERIFY(unit.bitMode());
        QCOMPARE(unit.lines()[0].kind, '1'); // back on the IN side
        press(unit, {kMode});
        QCOMPARE(unit.view(), MonitorUnit::View::In);
    }
};

QTEST_APPLESS_MAIN(tst_MonitorUnit)
#include "tst_monitorunit.moc"
