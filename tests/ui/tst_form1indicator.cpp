// The receive indicator's timing and the mark on a display that has gone quiet.
#include "link/Frames.h"
#include "tests/ui/FormFixture.h"
#include "ui/DisplayFreshness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <chrono>

class tst_Form1Indicator : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void badFrameEndsTheEventAndBlinksOnce()
    {
        TForm1 form(m_forms.options());
        FakePort port;
        form.context().link.setPort(&port);
        const QByteArray bad = "*rt100000012c";
        const QByteArray good = "*rt100000012C";
        port.feed(bad + good);
        form.displayLines().RecPkt(nullptr, int(bad.size() + good.size()));
        QCOMPARE(text(form, "IO1"), QString("--"));
        QVERIFY(form.displayLines().indicatorOn());
        QWidget *indicator = form.findChild<QWidget *>("RecIndicator");
        QVERIFY(!indicator->isHidden()); // the first blink shows at once
        form.displayLines().RecPkt(nullptr, int(port.incoming.size()));
        QCOMPARE(text(form, "IO1"), QString("IN"));
        QVERIFY(!form.displayLines().indicatorOn());
        // The screen catches up within the indicator's period.
        QVERIFY(!indicator->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(indicator->isHidden(), 1000);
    }

    void indicatorRepaintsAtMostTenTimesASecond_data()
    {
        QTest::addColumn<QList<int>>("steps"); // simulated milliseconds between frames, cycled
        QTest::newRow("a frame every 40 ms") << QList<int>{40};
        QTest::newRow("a burst of frames") << QList<int>{0, 0, 1, 0, 2};
        QTest::newRow("uneven gaps") << QList<int>{7, 13, 41, 3, 97, 0, 55};
    }

    void indicatorRepaintsAtMostTenTimesASecond()
    {
        // The indicator's clock is simulated: frames arrive at chosen moments, and every change
        // of what the screen shows is stamped with the moment it happened.
        QFETCH(QList<int>, steps);
        TForm1 form(m_forms.options());
        FakePort port;
        form.context().link.setPort(&port);
        std::chrono::milliseconds now{1000};
        form.displayLines().indicatorClock = [&now] { return now; };
        QWidget *indicator = form.findChild<QWidget *>("RecIndicator");
        bool lastHidden = indicator->isHidden();
        QList<std::chrono::milliseconds> changes;
        const QByteArray frame = "*rt100000012C";
        for (int i = 0; now < std::chrono::milliseconds(3000); ++i) {
            port.feed(frame);
            form.displayLines().RecPkt(nullptr, int(frame.size()));
            if (indicator->isHidden() != lastHidden) {
                lastHidden = indicator->isHidden();
                changes << now;
            }
            now += std::chrono::milliseconds(steps.at(i % steps.size()));
        }
        QVERIFY2(changes.size() >= 2, qPrintable(QString::number(changes.size())));
        for (qsizetype k = 1; k < changes.size(); ++k)
            QVERIFY2(changes[k] - changes[k - 1] >= DisplayLines::kIndicatorPeriod,
                     qPrintable(QStringLiteral("changes at %1 and %2 ms")
                                    .arg(changes[k - 1].count())
                                    .arg(changes[k].count())));
        // A steady 40 ms beat lands on an odd frame count after each period: every catch-up
        // shows, so the indicator blinks as often as it may.
        if (steps == QList<int>{40})
            QVERIFY2(changes.size() >= 15, qPrintable(QString::number(changes.size())));
    }

    void quietConnectionMarksTheDisplayStaleUntilTheNextFrame()
    {
        TForm1 form(m_forms.options());
        FakePort port;
        form.context().link.setPort(&port);
        DisplayFreshness &freshness = form.displayFreshness();
        auto *io1 = form.findChild<QLabel *>("IO1");
        QStatusBar *bar = form.context().statusBar;
        freshness.connectionChanged(true);
        receive(form, port, Frames::displayFrame('r', 0x70, '1', "000", "0001"));
        QVERIFY(!freshness.stale());
        QCOMPARE(io1->palette().color(QPalette::WindowText), QColor(Qt::black));
        QTRY_VERIFY_WITH_TIMEOUT(freshness.stale(),
                                 2 * DisplayFreshness::kQuietTime.count() + 2000);
        QVERIFY(io1->palette().color(QPalette::WindowText) != QColor(Qt::black));
        QCOMPARE(bar->currentMessage(), DisplayFreshness::kNotice);
        QVERIFY(form.findChild<QWidget *>("RecIndicator")->isHidden());
        // The next good frame takes the mark away at once; a bad one does not.
        receive(form, port, "*rt100000012c");
        QVERIFY(freshness.stale());
        port.incoming.clear();
        receive(form, port, Frames::displayFrame('r', 0x70, '1', "000", "0002"));
        QVERIFY(!freshness.stale());
        QCOMPARE(io1->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(bar->currentMessage(), QString());
        // Disconnected, the last lines stay as they are without a mark.
        freshness.connectionChanged(false);
        QTest::qWait(int(DisplayFreshness::kQuietTime.count()) + 500);
        QVERIFY(!freshness.stale());
    }

    // The quiet time counts from the last frame, however long frames have been coming.
    void steadyFramesNeverMarkTheDisplayStale()
    {
        TForm1 form(m_forms.options());
        FakePort port;
        form.context().link.setPort(&port);
        DisplayFreshness &freshness = form.displayFreshness();
        freshness.connectionChanged(true);
        QElapsedTimer streaming;
        streaming.start();
        bool everStale = false;
        qint64 lastFrame = 0;
        QTimer beat;
        int n = 0;
        connect(&beat, &QTimer::timeout, this, [&] {
            everStale = everStale || freshness.stale();
            receive(form, port,
                    Frames::displayFrame('r', 0x70, '1', "000", n++ % 2 ? "0001" : "0002"));
            lastFrame = streaming.elapsed();
        });
        beat.start(DisplayFreshness::kQuietTime / 8);
        QTRY_VERIFY_WITH_TIMEOUT(streaming.elapsed() > 2 * DisplayFreshness::kQuietTime.count(),
                                 3 * DisplayFreshness::kQuietTime.count());
        beat.stop();
        QVERIFY(!everStale);
        QVERIFY(!freshness.stale());
        QTRY_VERIFY_WITH_TIMEOUT(freshness.stale(), 2 * DisplayFreshness::kQuietTime.count());
        QVERIFY(streaming.elapsed() - lastFrame >= DisplayFreshness::kQuietTime.count() - 50);
    }
};

QTEST_MAIN(tst_Form1Indicator)
#include "tst_form1indicator.moc"
