#include "platform/Exceptions.h"
#include "platform/widgets/ErrorGuard.h"
#include "platform/widgets/GuardedApplication.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace
{

class FailingHandler : public QObject
{
public:
    int calls = 0;
    void fail()
    {
        if (++calls == 1)
            throw EConvertError(QStringLiteral("'x' は整数ではありません"));
        throw std::runtime_error("plain failure.");
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw EFOpenError(QStringLiteral("ファイルが見つかりません"));
        return QObject::event(e);
    }
};

} // namespace

// An exception leaving a handler ends that handler only: the error box shows its message, and
// the program keeps dispatching events.
class tst_GuardedApplication : public QObject
{
    Q_OBJECT

    QStringList m_shown;

private slots:
    void init()
    {
        m_shown.clear();
        GuardedApplication::errorBoxHook = [this](const QString &text) { m_shown << text; };
    }
    void cleanup() { GuardedApplication::errorBoxHook = nullptr; }

    void guardedHandlersReportAndTheProgramGoesOn()
    {
        QPushButton button;
        FailingHandler handler;
        connect(&button, &QPushButton::clicked, &handler, guarded(&handler, &FailingHandler::fail));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(m_shown, QStringList{QStringLiteral("'x' は整数ではありません.")});

        bool later = false;
        QTimer::singleShot(0, this, [&later] { later = true; });
        QTRY_VERIFY(later);

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(m_shown.size(), 2);
        QCOMPARE(m_shown.last(), QString("plain failure."));
    }

    void errorsEscapingAnEventHandlerAreCaughtWhereEventsAreDispatched()
    {
        FailingHandler handler;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&handler, &event);
        QCOMPARE(m_shown, QStringList{QStringLiteral("ファイルが見つかりません.")});
    }
};

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    tst_GuardedApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_guardedapplication.moc"
