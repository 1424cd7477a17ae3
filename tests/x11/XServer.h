#pragma once

#include <QByteArray>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

// A virtual X server (Xvfb) of its own for a test, with an optional window manager (openbox),
// and the X tools that drive and read it (xdotool, xprop, xwininfo).
class XServer
{
public:
    XServer() = default;
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;
    ~XServer();

    // Starts Xvfb on a display number it picks itself (-displayfd), so that parallel tests
    // never race for one. False, with the reason in why(), when none came up. Needs no
    // application object: a test's own window connects to the server afterwards.
    bool start(QSize screen = {1280, 1024});
    // Starts openbox and waits until it manages the screen.
    bool startWindowManager();
    void stop();

    QString display() const { return m_display; }
    bool hasWindowManager() const { return m_manager > 0; }
    QString why() const { return m_why; }
    // The environment for a program shown on this server (xcb platform, this display).
    QProcessEnvironment environment() const;

    // Runs an X tool on this display and gives its standard output; empty when it failed.
    QByteArray tool(const QString &program, const QStringList &arguments,
                    int *exitCode = nullptr) const;
    // The tool's output as one trimmed line of text.
    QString toolText(const QString &program, const QStringList &arguments) const;

    // The visible top-level windows of a window class, as xdotool lists them.
    QStringList windows(const QString &windowClass) const;
    // A window's title as the window system has it.
    QString title(const QString &window) const;
    // Position and size of a window's client area on the screen (xwininfo).
    QRect geometry(const QString &window) const;
    // One property of a window, as xprop prints it (name and value).
    QString property(const QString &window, const QString &name) const;

private:
    bool startOnce(QSize screen);

    pid_t m_server = -1;
    pid_t m_manager = -1;
    QString m_display;
    QString m_why;
};

// Polls the condition every 20 ms, letting the test's own events run, until it holds or the
// time is up; true when it held.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000);
