#include "platform/widgets/GuardedApplication.h"

#include "platform/Exceptions.h"

#include <QMessageBox>

std::function<void(const QString &)> GuardedApplication::errorBoxHook;

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception &e) {
        showError(e.message(), e.detail());
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void GuardedApplication::showError(const QString &message, const QString &detail)
{
    const QString text = errorBoxText(message, detail);
    if (errorBoxHook) {
        errorBoxHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("qxwatch"), text, QMessageBox::Ok);
    box.exec();
}
