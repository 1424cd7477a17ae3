#pragma once

// Network servers for the serial component's tests, made to behave or misbehave: a listening
// socket on 127.0.0.1 running a script for its one client, and an RFC 2217 peer that answers
// settings as a device server does (or as told).

#include "comm/CommX.h"
#include "comm/TelnetCodec_p.h"
#include "tests/comm/CommTestSupport.h"

#include <QByteArray>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace NetTest
{

using Event = TelnetDecoder::Event;
using CommTest::useDevice;

inline constexpr int kWait = 5000;
inline constexpr unsigned char kComPort = Telnet::kComPortOption;

inline int listenOn(int backlog, quint16 *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

inline int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    return fd;
}

inline void sendAll(int fd, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

// A server on 127.0.0.1 for one client, on a thread of its own. The script gets the client's
// socket and runs until it returns or stop is set; the client is then closed.
class FakeServer
{
public:
    using Script = std::function<void(int fd, const std::atomic<bool> &stop)>;
    explicit FakeServer(Script script) : m_script(std::move(script))
    {
        m_listen = listenOn(4, &m_port);
        m_thread = std::thread([this] { run(); });
    }
    ~FakeServer() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
    }
    quint16 port() const { return m_port; }
    QString address(const char *scheme = "rfc2217") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(m_port);
    }

private:
    void run()
    {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            m_script(fd, m_stop);
            ::close(fd);
            return;
        }
    }

    Script m_script;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// An RFC 2217 server as a device server speaks it: accepts COM-PORT-OPTION and answers every
// setting with the value asked for, unless answer() says otherwise. It records what it gets
// and sends what the test hands it.
class Rfc2217Peer
{
public:
    // code, value asked -> value answered; empty result: no answer at all.
    std::function<QByteArray(unsigned char, const QByteArray &)> answer =
        [](unsigned char, const QByteArray &v) { return v; };
    bool acceptComPort = true;

    void serve(int fd, const std::atomic<bool> &stop)
    {
        using namespace Telnet;
        sendAll(fd, acceptComPort ? command(kDo, kComPort) : command(kDont, kComPort));
        sendAll(fd, command(kWill, kBinary) + command(kDo, kBinary));
        TelnetDecoder decoder;
        while (!stop) {
            QByteArray out;
            {
                std::lock_guard l(m_lock);
                out.swap(m_toSend);
            }
            if (!out.isEmpty())
                sendAll(fd, out);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            QByteArray data;
            std::vector<Event> events;
            decoder.feed(buf, n, data, events);
            std::lock_guard l(m_lock);
            m_data += data;
            m_raw += QByteArray(buf, n);
            for (const Event &e : events) {
                m_events.push_back(e);
                if (e.kind == Event::Kind::Subnegotiation && e.option == kComPort &&
                    !e.payload.isEmpty()) {
                    const auto code = static_cast<unsigned char>(e.payload.at(0));
                    const QByteArray value = answer(code, e.payload.mid(1));
                    if (!value.isEmpty())
                        m_toSend += subnegotiation(kComPort, char(code + 100) + value);
                }
            }
        }
    }
    void send(const QByteArray &bytes)
    {
        std::lock_guard l(m_lock);
        m_toSend += bytes;
    }
    QByteArray data() const
    {
        std::lock_guard l(m_lock);
        return m_data;
    }
    QByteArray raw() const
    {
        std::lock_guard l(m_lock);
        return m_raw;
    }
    // The COM-PORT-OPTION commands received, each as code followed by its value.
    QList<QByteArray> commands() const
    {
        std::lock_guard l(m_lock);
        QList<QByteArray> out;
        for (const Event &e : m_events) {
            if (e.kind == Event::Kind::Subnegotiation && e.option == kComPort)
                out << e.payload;
        }
        return out;
    }
    int optionEvents(unsigned char verb) const
    {
        std::lock_guard l(m_lock);
        return int(std::count_if(m_events.begin(), m_events.end(), [verb](const Event &e) {
            return e.kind == Event::Kind::Option && e.verb == verb;
        }));
    }

private:
    mutable std::mutex m_lock;
    QByteArray m_toSend;
    QByteArray m_data;
    QByteArray m_raw;
    std::vector<Event> m_events;
};

inline QByteArray cmd(unsigned char code, QByteArray value)
{
    return char(code) + value;
}

// The component as the window sets it up.
inline void unitSettings(TCustomCommX &comm, const QString &address)
{
    comm.setParityBit(cpbOdd);
    comm.setFlowCtrl(cfcNone);
    comm.setLockFolder(QString());
    useDevice(comm, address);
}

inline ECommError openFailure(TCustomCommX &comm)
{
    try {
        comm.Open();
    } catch (const ECommError &e) {
        return e;
    }
    return ECommError(QString());
}

// Bytes handed to OnReceive, read as the receiver reads them.
QByteArray *collect(TCustomCommX &comm, QObject *context)
{
    auto *got = new QByteArray;
    QObject::connect(&comm, &TCustomCommX::OnReceive, context, [&comm, got](QObject *, int n) {
        for (int i = 0; i < n; ++i) {
            const int c = comm.ReadChar();
            if (c < 0)
                break;
            got->append(char(c));
        }
    });
    QObject::connect(context, &QObject::destroyed, [got] { delete got; });
    return got;
}

} // namespace NetTest
