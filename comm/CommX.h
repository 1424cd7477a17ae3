#pragma once

#include "comm/CommFailure.h"
#include "link/CommPort.h"
#include "platform/Exceptions.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

class CommNotifier;
class CommSession;
enum class LineField;
struct LineSettings;
class QEventLoop;
class ReceiveBuffer;
class TCommReceiveThread;
class TCommTransThread;

// A fixed underlying type: a value outside the list (a caller's mistake the setters reject) is
// still a well-defined value.
enum TCommParityBits : int { cpbNone = 0, cpbOdd = 1, cpbEven = 2 };
enum TCommStopBits : int { csb1 = 0, csb1p5 = 1, csb2 = 2 };
enum TCommFlowCtrls : int {
    cfcRtsCts = 0,
    cfcDtrDsr = 1,
    cfcXonXoff = 2,
    cfcHalfHigh = 3,
    cfcHalfLow = 4,
    cfcNone = 5
};

// Every failure of opening or configuring the port. The message is the failing step's; the
// failure says why, and its text is the exception's detail.
class ECommError : public Exception
{
public:
    explicit ECommError(QString message, CommFailure failure = CommFailure())
        : Exception(std::move(message), failure.text()), m_failure(std::move(failure))
    {
    }
    const CommFailure &failure() const { return m_failure; }

private:
    CommFailure m_failure;
};

// The serial port component (unit CommX). Owns one serial port: opens and configures the line,
// queues outgoing bytes to its transmit thread, watches the line with its receive thread and
// raises its events on the window thread.
//
// Events are Qt signals named after the component's events; they are emitted on the window
// thread while the worker that caused them waits:
//   OnReceive(sender, receiveSize), OnBreak(sender), OnError(sender, errorState),
//   OnDeviceLost(sender) - the device went away while open (unplugged adapter, hang-up, a
//   network unit's connection ended or dead); the port is closed already when it is emitted,
//   once per open period.
//   OnConnecting(sender, address) - Open waits for a network unit; see isConnecting().
// Connect them with Qt::DirectConnection or the default (the component lives on the window
// thread). A notice that arrives after Close is dropped.
//
// Port numbers become devices through the resolver (setPortResolver); the default one follows
// PortResolver's rule with the settings file next to the program.
//
// Thread contract: every member function is called on the window thread only. The worker
// threads see nothing of this object: they share a CommSession block with it.
class TCustomCommX : public QObject, public CommPort
{
    Q_OBJECT
public:
    using PortResolverFn = std::function<QString(int portNo)>;

    explicit TCustomCommX(QObject *owner = nullptr);
    ~TCustomCommX() override;

    void setPortResolver(PortResolverFn resolver) { m_resolver = std::move(resolver); }
    const CommFailure &lastOpenFailure() const { return m_lastFailure; }
    // The device of the open port (empty when closed).
    QString deviceName() const;
    // The device of the last open period, as the address that finds it again after it went
    // away (a USB adapter's /dev/serial/by-id name where it has one), and what that address
    // led to then (DeviceReturnWatch::identityOf). Empty before the first open.
    const QString &lastDeviceAddress() const { return m_lastAddress; }
    const QString &lastDeviceIdentity() const { return m_lastIdentity; }

    // Where UUCP lock files are looked for and made: the system's lock folder unless set;
    // empty: none.
    void setLockFolder(const QString &folder) { m_lockFolder = folder; }
    const QString &lockFolder() const { return m_lockFolder; }

    int PortNo() const { return m_portNo; }
    void setPortNo(int value);
    int BitRate() const { return m_bitRate; }
    void setBitRate(int value);
    int CharSize() const { return m_charSize; }
    void setCharSize(int value);
    TCommParityBits ParityBit() const { return m_parityBit; }
    void setParityBit(TCommParityBits value);
    TCommStopBits StopBit() const { return m_stopBit; }
    void setStopBit(TCommStopBits value);
    TCommFlowCtrls FlowCtrl() const { return m_flowCtrl; }
    void setFlowCtrl(TCommFlowCtrls value);
    int TimeOutTrans() const { return m_timeOutTrans; }
    void setTimeOutTrans(int value);
    int TimeOutReceive() const { return m_timeOutReceive; }
    void setTimeOutReceive(int value);
    char XonChar() const { return m_xonChar; }
    void setXonChar(char value);
    char XoffChar() const { return m_xoffChar; }
    void setXoffChar(char value);
    int BufLenTrans() const { return m_bufLenTrans; }
    void setBufLenTrans(int value);
    int BufLenReceive() const { return m_bufLenReceive; }
    void setBufLenReceive(int value);
    // The open device's descriptor, all ones when closed.
    quint32 Handle() const;

    void Open();
    void Close();
    bool SendString(const QByteArray &text) override;
    virtual bool Write(const char *buffer, int count);
    virtual int Read(char *buffer, int count);
    int ReadChar() override;
    bool isOpen() const override;
    // True while Open waits for its device (see OnConnecting).
    bool isConnecting() const { return m_opening; }
    void PurgeTrans();
    void PurgeReceive();
    int ReceiveCount();
    void SetRts(bool on);
    void SetDtr(bool on);

    // Bytes and write requests handed to the transmit thread and not yet finished.
    int PendingBytes() const;
    int PendingChunks() const;

signals:
    void OnReceive(QObject *sender, int receiveSize);
    void OnBreak(QObject *sender);
    void OnError(QObject *sender, int errorState);
    void OnDeviceLost(QObject *sender);
    // Open has to wait for the device (a network unit being connected to, within 3 s); the
    // window goes on meanwhile, and Close gives the open up.
    void OnConnecting(QObject *sender, const QString &address);

private:
    void applyOrRaise(const char *message, LineField field);
    // The failure with the port number and the device filled in.
    CommFailure described(CommFailure failure) const;
    [[noreturn]] void raise(const char *message, const CommFailure &failure) const;
    void applyBitRate();
    void applyFlowCtrl();
    void ApplyTimeOuts();
    void ApplyBufLen();
    void StartThreads();
    void stopThreadsAndRelease();
    void handleNotice(CommSession *session, int notice, int arg);
    void receiveNotice();
    void deviceLost(CommSession *session);
    void reportLineErrors();
    // False when the device was lost or a read failed (after reporting the loss).
    bool drainDevice(bool *failed = nullptr);
    // events: the poll events of watchFd that end the wait (POLLIN 0x001, POLLOUT 0x004). False
    // when no event loop could run (the application is quitting).
    bool waitOnWindowThread(std::chrono::milliseconds maxWait, int watchFd, short events = 0x001);
    void wakeWindowWaits();
    void forgetEndedSessions();

    CommNotifier *m_notifier = nullptr;
    PortResolverFn m_resolver;
    CommFailure m_lastFailure;
    QString m_lockFolder;
    QString m_lastAddress;
    QString m_lastIdentity;

    std::shared_ptr<CommSession> m_session;      // the open period; empty when closed
    QList<std::shared_ptr<CommSession>> m_ended; // closed periods whose threads may still run
    std::weak_ptr<TCommTransThread> m_transThread;
    std::weak_ptr<TCommReceiveThread> m_receiveThread;

    int m_portNo = 1;
    int m_bitRate = 9600;
    int m_charSize = 8;
    TCommParityBits m_parityBit = cpbNone;
    TCommStopBits m_stopBit = csb1;
    TCommFlowCtrls m_flowCtrl = cfcRtsCts;
    int m_timeOutTrans = 3000;
    int m_timeOutReceive = 3000;
    char m_xonChar = 0x11;
    char m_xoffChar = 0x13;
    int m_bufLenTrans = 2048;
    int m_bufLenReceive = 2048;
    // The line setting as last written, like the device control block.
    std::unique_ptr<LineSettings> m_dcb;
    // Received data bytes taken from the driver; read by Read first.
    std::unique_ptr<ReceiveBuffer> m_received;

    bool m_opening = false;
    bool m_cancelOpen = false;
    bool m_connectingTold = false;
    int m_readDepth = 0;
    bool m_receiveDeferred = false;
    QList<QEventLoop *> m_waits;
};

// The component as the window uses it.
class TCommX : public TCustomCommX
{
    Q_OBJECT
public:
    using TCustomCommX::TCustomCommX;
};
