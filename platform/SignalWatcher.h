#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns process signals (SIGTERM, SIGHUP, SIGINT: a logout, a kill, Ctrl+C) into a Qt signal on
// the thread that made the watcher, so the program can end the way it ends when its window is
// closed instead of dying on the spot. The handler only writes the signal's number to a pipe
// (the self-pipe way); the watcher reads it from the event loop.
//
// A second signal of the same kind that comes before the program has ended is not waited for:
// it takes its default action, so an end that hangs can still be forced.
//
// Thread contract: made, used and destroyed on one thread (the window thread), one at a time
// per process. The handler may run on any thread and touches only the pipe and atomics.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    // Gives the signals their earlier handling back.
    ~SignalWatcher() override;
    SignalWatcher(const SignalWatcher &) = delete;
    SignalWatcher &operator=(const SignalWatcher &) = delete;

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QList<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
};
