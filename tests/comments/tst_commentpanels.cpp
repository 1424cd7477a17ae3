#include "comments/CommentGrid.h"
#include "comments/CommentPanels.h"
#include "platform/SjisText.h"
#include "platform/widgets/ImageBox.h"
#include "tests/support/FakeDisplayLines.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The panels on a client area, the window's outer size following what they ask for.
struct PanelFixture {
    QWidget form;
    QWidget *client = new QWidget(&form);
    QSize outer{911, 722};
    CommentTables tables;
    FakeDisplayLines lines;
    std::unique_ptr<CommentPanels> panels;

    PanelFixture()
    {
        panels = std::make_unique<CommentPanels>(client);
        QObject::connect(panels.get(), &CommentPanels::outerHeightRequested,
                         [this](int height) { outer.setHeight(height); });
        QObject::connect(panels.get(), &CommentPanels::outerWidthRequested,
                         [this](int width) { outer.setWidth(width); });
    }
    template <class T> T *find(const QString &name) const { return client->findChild<T *>(name); }
    QPushButton *button(const char *name) const { return find<QPushButton>(QLatin1String(name)); }
};

class tst_CommentPanels : public QObject
{
    Q_OBJECT

private slots:
    void windowSizeFollowsTheButtons_data()
    {
        QTest::addColumn<int>("storedOn");
        QTest::addColumn<int>("storedEdit");
        QTest::addColumn<QString>("clicks"); // C = btnComment, E = btnCmntEdit
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("commentOn");
        QTest::addColumn<int>("commentEdit");

        QTest::newRow("both off") << 0 << 0 << "" << QSize(694, 332) << 0 << 0;
        QTest::newRow("comments on") << 0 << 0 << "C" << QSize(694, 722) << 1 << 0;
        QTest::newRow("then the editor") << 0 << 0 << "CE" << QSize(920, 722) << 1 << 1;
        QTest::newRow("comments off closes the editor")
            << 0 << 0 << "CEC" << QSize(694, 332) << 0 << 0;
        QTest::newRow("editor off again") << 0 << 0 << "CEE" << QSize(694, 722) << 1 << 0;
        QTest::newRow("stored editor without panels") << 0 << 1 << "" << QSize(920, 332) << 0 << 1;
        QTest::newRow("stored editor, then comments on")
            << 0 << 1 << "C" << QSize(920, 722) << 1 << 1;
        QTest::newRow("editor button is dead while the panels are hidden")
            << 0 << 0 << "E" << QSize(694, 332) << 0 << 0;
        QTest::newRow("stored 2 counts as off and toggles on")
            << 2 << 2 << "CE" << QSize(920, 722) << 1 << 1;
        QTest::newRow("stored 257 has low byte 1") << 257 << 0 << "" << QSize(694, 722) << 1 << 0;
        QTest::newRow("stored -1 counts as off") << -1 << -1 << "" << QSize(694, 332) << 0 << 0;
    }
    void windowSizeFollowsTheButtons()
    {
        QFETCH(int, storedOn);
        QFETCH(int, storedEdit);
        QFETCH(QString, clicks);
        QFETCH(QSize, size);
        QFETCH(int, commentOn);
        QFETCH(int, commentEdit);

        PanelFixture f;
        f.form.show();
        f.panels->setCommentOn(storedOn);
        f.panels->setCommentEdit(storedEdit);
        for (QChar c : clicks)
            QTest::mouseClick(f.button(c == u'C' ? "btnComment" : "btnCmntEdit"), Qt::LeftButton);

        QCOMPARE(f.outer, size);
        QCOMPARE(f.panels->CommentOn(), commentOn);
        QCOMPARE(f.panels->CommentEdit(), commentEdit);
        QCOMPARE(f.panels->BitModeHeight(), size.height());
        QCOMPARE(f.panels->DataModeHeight(), size.height());
        QCOMPARE(f.button("btnCmntEdit")->isEnabled(), commentOn == 1);
        QCOMPARE(f.find<QWidget>("CmntPanel1")->isVisible(), commentOn == 1);
        QCOMPARE(f.find<QWidget>("CmntPanel2")->isVisible(), commentOn == 1);
    }

    void entriesStandWhereTheLineAndBitSay_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QPoint>("at"); // the entry's row: lamp and field top, label 4 lower
        QTest::newRow("line 1 bit 0") << 0 << "CmntPanel1" << QPoint(10, 16);
        QTest::newRow("line 1 bit 7") << 7 << "CmntPanel1" << QPoint(10, 160);
        QTest::newRow("line 1 bit 8") << 8 << "CmntPanel1" << QPoint(176, 16);
        QTest::newRow("line 2 bit 4, after the wider gap")
            << 20 << "CmntPanel1" << QPoint(346, 100);
        QTest::newRow("line 2 bit 11") << 27 << "CmntPanel1" << QPoint(512, 76);
        QTest::newRow("line 3 bit 8") << 40 << "CmntPanel2" << QPoint(176, 16);
        QTest::newRow("line 4 bit 15") << 63 << "CmntPanel2" << QPoint(512, 160);
    }
    void entriesStandWhereTheLineAndBitSay()
    {
        QFETCH(int, n);
        QFETCH(QString, panel);
        QFETCH(QPoint, at);
        PanelFixture f;
        const int line = n / 16;
        const int lamp = 16 * line + 15 - n % 16;

        auto *label = f.find<QLabel>(QStringLiteral("Lab%1").arg(n));
        auto *edit = f.find<QLineEdit>(QStringLiteral("CmntEdit%1").arg(n));
        auto *image = f.find<ImageBox>(QStringLiteral("Image%1").arg(64 + lamp));
        QVERIFY(label && edit && image);
        for (QWidget *w : std::initializer_list<QWidget *>{label, edit, image})
            QCOMPARE(w->parentWidget()->objectName(), panel);
        QCOMPARE(label->geometry().topLeft(), at + QPoint(0, 4));
        QCOMPARE(label->width(), 30);
        QVERIFY(label->alignment() & Qt::AlignRight);
        QVERIFY(label->text().isEmpty());
        QCOMPARE(image->size(), QSize(17, 17));
        QCOMPARE(image->y(), at.y());
        QVERIFY(image->x() > label->geometry().right() && image->geometry().right() < edit->x());
        QCOMPARE(edit->geometry(), QRect(edit->x(), at.y(), 100, 19));
        QVERIFY(edit->geometry().right() < at.x() + 166);
        QCOMPARE(image->lampNumber(), lamp);
        QVERIFY(edit->isReadOnly());
        QVERIFY(!edit->hasFrame());
    }

    // A comment longer than its field shows its beginning, also after a shorter one and when
    // the field is drawn.
    void longCommentShowsItsStart()
    {
        PanelFixture f;
        f.form.resize(920, 722);
        f.panels->setCommentOn(1);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        auto *edit = f.find<QLineEdit>(QStringLiteral("CmntEdit5"));
        QVERIFY(edit);
        const QString text = QStringLiteral("コンベア上流側の終端センサー異常検出");
        QVERIFY(edit->fontMetrics().horizontalAdvance(text) > edit->width());
        for (const QString &shown : {QStringLiteral("短い"), text}) {
            edit->setText(shown);
            QCOMPARE(edit->cursorPosition(), 0);
            // The cursor, and with it the visible part, stands at the left edge.
            QVERIFY(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() <
                    edit->width() / 4);
        }
    }

    void panelsHoldSixtyFourDistinctEntries()
    {
        PanelFixture f;
        QCOMPARE(f.find<QWidget>("CmntPanel1")->geometry(), QRect(8, 264, 673, 193));
        QCOMPARE(f.find<QWidget>("CmntPanel2")->geometry(), QRect(8, 456, 673, 193));
        QCOMPARE(f.button("btnComment")->pos(), QPoint(536, 0));
        QCOMPARE(f.button("btnCmntEdit")->pos(), QPoint(616, 0));
        QSet<int> lamps;
        QSet<QPair<QObject *, QPoint>> places;
        for (int n = 0; n < 64; ++n) {
            auto *image = f.find<ImageBox>(QStringLiteral("Image%1").arg(64 + n));
            auto *edit = f.find<QLineEdit>(QStringLiteral("CmntEdit%1").arg(n));
            QVERIFY(image && edit && f.find<QLabel>(QStringLiteral("Lab%1").arg(n)));
            lamps.insert(image->lampNumber());
            places.insert({edit->parent(), edit->pos()});
            QVERIFY(QRect(QPoint(), QSize(673, 193)).contains(edit->geometry()));
        }
        QCOMPARE(lamps.size(), 64);
        QCOMPARE(places.size(), 64);
        QCOMPARE(f.client->findChildren<ImageBox *>().size(), 64);
    }

    void loadRefreshesThePanelsWithTheNewTables()
    {
        PanelFixture f;
        f.lines.setKind(0, QStringLiteral("IN"));
        // What the bit panel does for display line 2 showing bit inputs 16..31.
        auto refresh = [&f] {
            for (int m = 0; m < 16; ++m) {
                f.find<QLabel>(QStringLiteral("Lab%1").arg(16 + m))
                    ->setText(QString::number(16 + m));
                f.find<QLineEdit>(QStringLiteral("CmntEdit%1").arg(16 + m))
                    ->setText(CommentTables::at(f.tables.CommentBI, 16 + m));
            }
        };
        CommentGrid grid(f.client, &f.form, f.tables, f.lines, refresh);
        QTemporaryDir dir;
        const QString path = dir.filePath("c.csv");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(toSjis(QStringLiteral("BI,16,\"起動 SW\"\r\nBI,31,停止\r\nBO,17,out\r\n")));
        file.close();
        grid.LoadCommentFile(path);
        QCOMPARE(f.find<QLabel>("Lab16")->text(), QString("16"));
        QCOMPARE(f.find<QLineEdit>("CmntEdit16")->text(), QStringLiteral("起動 SW"));
        QCOMPARE(f.find<QLineEdit>("CmntEdit17")->text(), QString());
        QCOMPARE(f.find<QLineEdit>("CmntEdit31")->text(), QStringLiteral("停止"));
    }
};

QTEST_MAIN(tst_CommentPanels)
#include "tst_commentpanels.moc"
