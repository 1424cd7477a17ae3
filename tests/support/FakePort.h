#pragma once

#include "link/CommPort.h"

#include <QByteArray>
#include <functional>

// A scripted port for window tests: bytes to be received are queued with feed(), everything
// sent is captured in sent. While closed, SendString sends nothing and ReadChar gives -1, as the
// real port does. onSend, when set, runs after each send (a fake unit answering a key).
class FakePort : public CommPort
{
public:
    bool SendString(const QByteArray &text) override
    {
        if (!open)
            return false;
        sent += text;
        ++sendCount;
        if (onSend)
            onSend(text);
        return true;
    }

    int ReadChar() override
    {
        if (!open || incoming.isEmpty())
            return -1;
        const int b = static_cast<unsigned char>(incoming.front());
        incoming.remove(0, 1);
        return b;
    }

    bool isOpen() const override { return open; }

    void feed(const QByteArray &bytes) { incoming += bytes; }

    bool open = true;
    QByteArray incoming;
    QByteArray sent;
    int sendCount = 0;
    std::function<void(const QByteArray &)> onSend;
};
