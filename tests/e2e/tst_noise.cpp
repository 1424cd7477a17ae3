// Display frames with faults on a real pseudo-terminal line, through the serial port component
// into the main window: every intact frame is shown, in order, and no damaged one is.
#include "comm/CommX.h"
#include "link/Frames.h"
#include "link/KeyCodes.h"
#include "link/ReceiverModel.h"
#include "tests/support/PtyPair.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <unistd.h>

namespace
{

constexpr int kWait = 10000;                      // ms for the window to take one batch
constexpr int kUnits = 900;                       // frames and noise runs in the stream
constexpr int kBatchBytes = 600;                  // written at once: well inside the pty's buffer
constexpr std::chrono::milliseconds kRefresh{20}; // how long the line may stay quiet

enum class Fault { None, FlipBit, DropByte, StrayStar, LowerCaseCheck, Garbage };

struct Unit {
    QByteArray bytes;
    Fault fault = Fault::None;
};

QByteArray frameFor(int seq, int line)
{
    const char kind = "12"[seq & 1];
    return Frames::displayFrame(
        0x70 | char(seq & 2), char(0x70 | line), kind,
        QByteArray::number(seq % 1000).rightJustified(3, '0'),
        QByteArray::number(seq & 0xFFFF, 16).toUpper().rightJustified(4, '0'));
}

// One corrupted frame: a single byte changed, dropped or added, or its check made lower-case.
QByteArray damage(QByteArray frame, Fault fault, QRandomGenerator &rng)
{
    switch (fault) {
    case Fault::FlipBit: {
        const int at = rng.bounded(Frames::kDisplayFrameSize);
        frame[at] = char(frame.at(at) ^ (1 << rng.bounded(8)));
        break;
    }
    case Fault::DropByte:
        frame.remove(rng.bounded(Frames::kDisplayFrameSize), 1);
        break;
    case Fault::StrayStar:
        frame.insert(1 + rng.bounded(Frames::kDisplayFrameSize - 1), '*');
        break;
    case Fault::LowerCaseCheck:
        frame = frame.left(11) + frame.mid(11).toLower();
        break;
    case Fault::None:
    case Fault::Garbage:
        break;
    }
    return frame;
}

QByteArray garbage(QRandomGenerator &rng)
{
    QByteArray g(1 + rng.bounded(24), '\0');
    for (char &c : g) {
        // Mostly the bytes frames are made of, so the noise looks like frames to the receiver.
        static const char kAlphabet[] = "*prtw0123456789ABCDEF";
        c = rng.bounded(3) ? kAlphabet[rng.bounded(int(sizeof kAlphabet) - 1)]
                           : char(rng.bounded(256));
    }
    return g;
}

// The stream: intact frames for the four lines, with damaged frames and noise between them.
// Each damaged unit is checked against the receiver's rules as it is made, and redrawn in the
// rare case its bytes would pass a check by chance, so the claim "damaged frames are rejected,
// intact frames are shown" is exact for the stream sent.
QList<Unit> makeStream(QList<std::pair<int, QByteArray>> &shown)
{
    QRandomGenerator rng(20240611);
    ReceiverModel model;
    model.connect();
    QList<Unit> units;
    int seq = 0;
    int redraws = 0;
    auto goods = [](ReceiverModel &m, const QByteArray &bytes) {
        QList<QByteArray> out;
        for (const char c : bytes) {
            if (m.push(static_cast<unsigned char>(c)) == ReceiverModel::Verdict::Good)
                out << QByteArray::fromStdString(m.lastFrame);
        }
        return out;
    };
    while (units.size() < kUnits) {
        const int line = rng.bounded(4);
        const bool tail = units.size() >= kUnits - 4; // the last four are intact, one per line
        // About half the units are intact frames; the rest are spread over the faults.
        const Fault fault = tail || rng.bounded(2) ? Fault::None : Fault(1 + rng.bounded(5));
        const int thisLine = tail ? kUnits - 1 - int(units.size()) : line;
        const QByteArray intact = frameFor(++seq, thisLine);
        Unit u{fault == Fault::Garbage ? garbage(rng) : damage(intact, fault, rng), fault};
        if (fault == Fault::LowerCaseCheck && u.bytes == intact)
            continue; // no letter among the check digits
        ReceiverModel trial = model;
        const QList<QByteArray> got = goods(trial, u.bytes);
        if (got != (fault == Fault::None ? QList<QByteArray>{intact} : QList<QByteArray>{})) {
            if (++redraws > 1000)
                qFatal("the stream cannot be made");
            continue; // a chance pass: draw again
        }
        model = trial;
        units << u;
        if (fault == Fault::None)
            shown << std::pair{thisLine, intact};
    }
    return units;
}

} // namespace

class tst_Noise : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PtyPair m_pty;

    TForm1::Options options()
    {
        TForm1::Options o;
        o.settingsPath = writeSettingsFile(
            m_dir.filePath("qxwatch.ini"),
            QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(m_pty.slavePath()).toLocal8Bit());
        return o;
    }

private slots:
    void initTestCase() { QVERIFY(m_pty.isValid()); }

    void damagedFramesAreDroppedAndIntactOnesShown()
    {
        QList<std::pair<int, QByteArray>> expected;
        const QList<Unit> units = makeStream(expected);

        TForm1 form(options());
        form.show();
        form.portControl().OpenButtonClick();
        QVERIFY(form.CommX1().isOpen());

        // Every change of a line's raw frame, in order: the frames the window showed.
        QList<std::pair<int, QByteArray>> shown;
        for (int n = 0; n < 4; ++n) {
            auto *edit = form.findChild<QLineEdit *>(QStringLiteral("Edit%1").arg(n + 1));
            QVERIFY(edit);
            connect(edit, &QLineEdit::textChanged, this, [&shown, n](const QString &text) {
                shown << std::pair{n, text.toLatin1()};
            });
        }
        const quint64 goodBefore = form.displayLines().goodFrames();

        QByteArray batch;
        qsizetype intactSoFar = 0;
        int refreshes = 0;
        QMap<Fault, int> faults;
        for (qsizetype i = 0; i < units.size(); ++i) {
            batch += units[i].bytes;
            ++faults[units[i].fault];
            if (units[i].fault == Fault::None)
                ++intactSoFar;
            if (batch.size() < kBatchBytes && i + 1 < units.size())
                continue;
            QVERIFY(m_pty.writeAll(batch));
            batch.clear();
            // Paced by the window: the next batch goes out once this one is shown. A bad frame
            // ends its receive event and the bytes after it wait for the next arrival, as a
            // unit that refreshes its lines all the time gives. The refresh is played here by
            // repeating the newest intact frame, which changes no line's text.
            QElapsedTimer waited;
            waited.start();
            auto drained = [&] {
                return shown.size() == intactSoFar && form.CommX1().ReceiveCount() == 0;
            };
            while (!QTest::qWaitFor(drained, kRefresh.count())) {
                QVERIFY2(waited.elapsed() < kWait, "the window stopped taking frames");
                QVERIFY(intactSoFar > 0);
                QVERIFY(m_pty.writeAll(expected.at(intactSoFar - 1).second));
                ++refreshes;
            }
        }

        const int damaged = faults[Fault::FlipBit] + faults[Fault::DropByte] +
                            faults[Fault::StrayStar] + faults[Fault::LowerCaseCheck];
        qInfo("sent %d intact frames, %d damaged frames (%d flipped bits, %d dropped bytes, %d "
              "stray '*', %d lower-case checks) and %d noise runs, %d refreshes; shown %lld, "
              "good frames %llu",
              faults[Fault::None], damaged, faults[Fault::FlipBit], faults[Fault::DropByte],
              faults[Fault::StrayStar], faults[Fault::LowerCaseCheck], faults[Fault::Garbage],
              refreshes, static_cast<long long>(shown.size()),
              static_cast<unsigned long long>(form.displayLines().goodFrames() - goodBefore));
        QVERIFY(damaged > 100);
        QCOMPARE(shown, expected);
        // Every refresh is an intact frame too, shown without changing its line.
        QCOMPARE(form.displayLines().goodFrames() - goodBefore,
                 quint64(expected.size() + refreshes));

        // Each line ends showing its last intact frame.
        for (int n = 0; n < 4; ++n) {
            QByteArray last;
            for (const auto &[line, frame] : expected) {
                if (line == n)
                    last = frame;
            }
            const QString k = QString::number(n + 1);
            QCOMPARE(form.findChild<QLineEdit *>("Edit" + k)->text().toLatin1(), last);
            QCOMPARE(form.findChild<QLabel *>("IO" + k)->text(), KeyCodes::kindText(last.at(3)));
            QCOMPARE(form.findChild<QLabel *>("Addr" + k)->text().toLatin1(), last.mid(4, 3));
            QCOMPARE(form.findChild<QLabel *>("Data" + k)->text().toLatin1(), last.mid(7, 4));
        }
        form.portControl().CloseButtonClick();
    }
};

QTEST_MAIN(tst_Noise)
#include "tst_noise.moc"
