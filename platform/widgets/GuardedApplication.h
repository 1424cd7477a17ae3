#pragma once

#include <QApplication>
#include <functional>

// The application object with one guard where events are dispatched: an exception that leaves
// an event handler ends that handler, the program-wide error box shows it (message with the
// full-stop rule, caption "qxwatch", error icon, OK), and the program goes on.
class GuardedApplication : public QApplication
{
    Q_OBJECT
public:
    GuardedApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the error box for a message (and its detail, below it). Replaceable so tests see
    // the text without a modal box.
    static void showError(const QString &message, const QString &detail = QString());
    static std::function<void(const QString &text)> errorBoxHook;
};
