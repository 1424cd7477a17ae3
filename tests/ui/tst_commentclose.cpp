#include "comments/CommentGrid.h"
#include "platform/SjisText.h"
#include "ui/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The window's end with unsaved comment edits: File "終了(&X)" and closing the window ask
// first, and cancel keeps the program as it was; a termination signal asks nothing and keeps
// the edits in the recovery file.
class tst_CommentClose : public QObject
{
    Q_OBJECT

    struct Rig {
        QTemporaryDir dir;
        QString csv = dir.filePath("c.csv");
        QStringList questions;
        int answer = 2;
        std::unique_ptr<TForm1> form;

        Rig()
        {
            QFile f(csv);
            if (!f.open(QIODevice::WriteOnly) || f.write("BI,1,old\r\n") != 10)
                qFatal("cannot write the comment file");
            f.close();
            TForm1::Options options;
            options.settingsPath = dir.filePath("qxwatch.ini");
            options.arguments = {csv};
            form = std::make_unique<TForm1>(options);
            grid().setQuestion([this](const QString &text, const QStringList &) {
                questions.append(text);
                return answer;
            });
            form->show();
            grid().setCell(3, 1, "edited");
        }
        CommentGrid &grid() { return form->commentGrid(); }
        QByteArray file(const QString &path) const
        {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        }
    };

private slots:
    void closingAsksAboutUnsavedEdits_data()
    {
        QTest::addColumn<bool>("viaExit");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QByteArray>("written");
        for (bool viaExit : {false, true}) {
            const char *route = viaExit ? "File 終了" : "window close";
            QTest::addRow("%s, save", route)
                << viaExit << 0 << true << QByteArray("BI,1,edited\r\n");
            QTest::addRow("%s, discard", route)
                << viaExit << 1 << true << QByteArray("BI,1,old\r\n");
            QTest::addRow("%s, cancel", route)
                << viaExit << 2 << false << QByteArray("BI,1,old\r\n");
        }
    }
    void closingAsksAboutUnsavedEdits()
    {
        QFETCH(bool, viaExit);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(QByteArray, written);
        Rig rig;
        rig.answer = answer;
        if (viaExit)
            rig.form->Exit1Click();
        else
            rig.form->close();
        QCOMPARE(rig.questions.size(), 1);
        QCOMPARE(rig.form->isVisible(), !closed);
        QCOMPARE(rig.file(rig.csv), written);
        QCOMPARE(rig.grid().isModified(), !closed);
        QCOMPARE(rig.grid().cell(3, 1), QString("edited"));
        // Cancelled, the exit did not go on: the settings are written only by a real end.
        if (viaExit)
            QCOMPARE(QFileInfo::exists(rig.dir.filePath("qxwatch.ini")), closed);
    }

    void signalKeepsEditsWithoutAQuestion()
    {
        Rig rig;
        QVERIFY(rig.form->closeOnSignal());
        QVERIFY(rig.questions.isEmpty());
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(rig.file(rig.csv), QByteArray("BI,1,old\r\n"));
        QCOMPARE(rig.file(rig.csv + ".recovery.csv"), QByteArray("BI,1,edited\r\n"));
    }
};

QTEST_MAIN(tst_CommentClose)
#include "tst_commentclose.moc"
