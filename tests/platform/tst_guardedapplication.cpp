#include "platform/Exceptions.h"
#include "platform/GuardedApplication.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

// An exception leaving any handler ends that handler only: the error box shows its message, and
// the program keeps dispatching events.
class tst_GuardedApplication : public QObject
{
    Q_OBJECT
private slots:
    void escapedErrorsReachTheErrorBoxAndTheProgramGoesOn()
    {
        QStringList shown;
        GuardedApplication::errorBoxHook = [&shown](const QString &text) { shown << text; };

        QPushButton button;
        int clicks = 0;
        connect(&button, &QPushButton::clicked, this, [&clicks] {
            if (++clicks == 1)
                throw EConvertError(QStringLiteral("'x' は整数ではありません"));
            throw std::runtime_error("plain failure.");
        });
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(shown, QStringList{QStringLiteral("'x' は整数ではありません.")});

        bool later = false;
        QTimer::singleShot(0, this, [&later] { later = true; });
        QTRY_VERIFY(later);

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.last(), QString("plain failure."));
        GuardedApplication::errorBoxHook = nullptr;
    }
};

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    tst_GuardedApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_guardedapplication.moc"
