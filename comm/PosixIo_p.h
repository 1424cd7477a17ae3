#pragma once

#include "comm/SerialDevice_p.h"

#include <cerrno>
#include <poll.h>

// The system calls of the device backends go through these: EINTR is retried here and only here.
namespace PosixIo
{

template <typename F> auto retryEintr(F call)
{
    decltype(call()) r;
    do {
        r = call();
    } while (r < 0 && errno == EINTR);
    return r;
}

// Waits up to timeoutMs for events on fd, or for a byte on wakeFd (none when negative).
// hangUpEvents are asked for too and, like POLLHUP and POLLERR, mean the far end went (a socket's
// POLLRDHUP).
inline SerialDevice::Wait pollWith(int fd, short events, int wakeFd, int timeoutMs,
                                   short hangUpEvents = 0)
{
    pollfd fds[2] = {{fd, short(events | hangUpEvents), 0}, {wakeFd, POLLIN, 0}};
    const int n = retryEintr([&] { return ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs); });
    if (n < 0)
        return SerialDevice::Wait::Failed;
    if (wakeFd >= 0 && (fds[1].revents & POLLIN))
        return SerialDevice::Wait::Woken;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL | hangUpEvents))
        return SerialDevice::Wait::HungUp;
    if (fds[0].revents & events)
        return SerialDevice::Wait::Ready;
    return SerialDevice::Wait::TimedOut;
}

// Whether fd has one of events (or an error) now, without waiting.
inline bool pollNow(int fd, short events)
{
    pollfd p{fd, events, 0};
    return retryEintr([&] { return ::poll(&p, 1, 0); }) > 0 &&
           (p.revents & (events | POLLERR | POLLHUP | POLLNVAL));
}

} // namespace PosixIo
