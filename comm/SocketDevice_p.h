#pragma once

#include "comm/NetworkAddress.h"
#include "comm/SerialDevice_p.h"
#include "comm/TelnetCodec_p.h"

#include <QByteArray>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>

// A unit behind a network serial server as the device of a port: raw TCP (the line's bytes as
// they are) or RFC 2217 (Telnet COM Port Control: line settings, modem lines, purges and line
// state notices as commands beside the escaped data). Every socket call of the serial link is in
// SocketDevice.cpp (connection and data) and SocketDeviceComPort.cpp (the RFC 2217 commands).
//
// Opening resolves the name on a thread of its own and connects without blocking, both within
// kConnectLimit, waiting through DeviceOpenOptions::wait so the window goes on meanwhile; an RFC
// 2217 server must then accept COM-PORT-OPTION within kNegotiationLimit. While connected the
// socket sends small writes at once (TCP_NODELAY) and notices a dead network within about
// 8 s (keepalive probes every 2 s after 2 s idle, 3 of them; unacknowledged data gives up after
// the same time), which then counts as a device gone.
//
// In RFC 2217 mode apply() sends the one setting it is about and waits (kAnswerLimit) for the
// server's answer, which must carry the value asked for; the modem lines are sent without
// waiting (a server in front of a pty does not answer them). NOTIFY-LINESTATE overrun, parity,
// framing and break are counted as a driver counts them.
//
// Thread contract: as SerialDevice. Received data and the Telnet decoder belong to the window
// thread (readSome, apply, flushInput); outgoing bytes of both threads go through one locked
// queue, so a command never lands inside an escaped pair or another command. Every buffer is
// bounded: what does not fit stays in the socket, which holds the server back.
class SocketDevice : public SerialDevice
{
public:
    static constexpr std::chrono::milliseconds kConnectLimit{3000};
    static constexpr std::chrono::milliseconds kNegotiationLimit{3000};
    static constexpr std::chrono::milliseconds kAnswerLimit{3000};
    static constexpr int kKeepIdleS = 2;
    static constexpr int kKeepIntervalS = 2;
    static constexpr int kKeepCount = 3;
    static constexpr int kUserTimeoutMs = 8000;
    // Received data held back while the window waits for an answer, and unsent output.
    static constexpr qsizetype kInboxLimit = 64 * 1024;
    static constexpr qsizetype kOutLimit = 64 * 1024;
    static constexpr qsizetype kWriteStep = 4096;

    SocketDevice() = default;
    ~SocketDevice() override;

    bool open(const QString &address, const DeviceOpenOptions &options,
              CommFailure *failure) override;
    void release() override;
    bool isOpen() const override { return m_fd >= 0 && !m_released.load(); }
    int handle() const override { return m_fd; }

    bool apply(const LineSettings &settings, LineField field, CommFailure *failure) override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    void flushInput() override;
    void flushOutput() override;
    bool marksLineErrors() const override { return false; }
    bool outputPending() const override;
    qint64 readSome(char *buffer, qint64 size, int *err) override;
    qint64 writeSome(const char *buffer, qint64 size, int *err) override;
    Wait waitReadable(int wakeFd, int timeoutMs) const override;
    Wait waitWritable(int wakeFd, int timeoutMs) const override;
    bool hungUp() const override;
    int duplicate() const override;

    bool isRfc2217() const { return m_address.protocol == NetworkAddress::Protocol::Rfc2217; }
    // The server's last answer to a SET-CONTROL (the modem lines, flow control), 0 before one.
    int lastControlAnswer() const { return m_lastControl.load(); }

protected:
    std::optional<LineCounters> driverCounters() const override;

private:
    enum class Pump { Ok, Closed, Failed };
    // Reads what the socket has (bounded by the inbox), decodes it and answers the server's
    // commands. dropData: the socket is read whatever the inbox holds (an answer may wait behind
    // the data), and the oldest payload beyond the inbox's bound is thrown away.
    Pump pump(int *err, bool dropData);
    void handleEvent(const TelnetDecoder::Event &e);
    void answerOption(unsigned char verb, unsigned char option);
    void handleComPort(const QByteArray &payload);
    // Queues bytes for the server and sends what the socket takes. False when they did not fit.
    bool queueOut(const QByteArray &bytes);
    // m_outLock held: sends queued bytes until the socket is full; -1 with *err on failure.
    int flushOutLocked(int *err);
    bool sendComPort(unsigned char code, const QByteArray &value);
    // Waits for the window-thread wait (or a plain poll) until the socket has the events or the
    // time is up; false when the open was given up or the device released.
    bool waitFor(int fd, short events, std::chrono::steady_clock::time_point until);
    bool connectTo(CommFailure *failure);
    bool negotiate(CommFailure *failure);

    NetworkAddress m_address;
    DeviceOpenOptions::Wait m_wait;
    int m_fd = -1;
    std::atomic<bool> m_released{false};
    std::atomic<bool> m_eof{false};

    // Window thread.
    TelnetDecoder m_decoder;
    QByteArray m_inbox;
    std::atomic<qsizetype> m_inboxSize{0};
    bool m_comPortAccepted = false;
    bool m_comPortRefused = false;
    std::array<bool, 256> m_weWill{};
    std::array<bool, 256> m_weDo{};
    std::array<bool, 256> m_answered{};
    // Last answer to each COM-PORT-OPTION command (1..12) and how many came.
    std::array<QByteArray, 13> m_answer;
    std::array<quint32, 13> m_answerCount{};

    mutable std::mutex m_outLock;
    QByteArray m_out;

    std::atomic<int> m_lastControl{0};
    std::atomic<quint64> m_overrun{0}, m_parity{0}, m_frame{0}, m_break{0};
};
