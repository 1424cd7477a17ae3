#include "comm/SocketDevice_p.h"

#include "comm/PosixIo_p.h"
#include "comm/Rfc2217_p.h"

#include <cstdlib>
#include <poll.h>

// The RFC 2217 half of the network device: the COM-PORT-OPTION negotiation at open, the
// answers to the server's option requests and notices, and the line settings as commands.

namespace
{

using Clock = std::chrono::steady_clock;
using namespace Rfc2217;

// A rate the server set a little differently still counts, as a UART's nearest rate does.
constexpr int kRateTolerancePercent = 2;

} // namespace

bool SocketDevice::negotiate(CommFailure *failure)
{
    using namespace Telnet;
    m_weWill[kComPortOption] = m_weWill[kBinary] = true;
    m_weDo[kBinary] = true;
    queueOut(command(kWill, kComPortOption) + command(kWill, kBinary) + command(kDo, kBinary));
    const auto deadline = Clock::now() + kNegotiationLimit;
    for (;;) {
        int err = 0;
        const Pump p = pump(&err, true);
        if (p != Pump::Ok) {
            failure->reason = CommFailure::Reason::Gone;
            failure->error = p == Pump::Closed ? ECONNRESET : err;
            return false;
        }
        if (m_comPortAccepted)
            break;
        if (m_comPortRefused || Clock::now() >= deadline) {
            failure->reason = CommFailure::Reason::Protocol;
            return false;
        }
        if (!waitFor(m_fd, POLLIN, deadline)) {
            failure->reason = CommFailure::Reason::Cancelled;
            failure->error = ECANCELED;
            return false;
        }
    }
    // Line state notices for the errors the component reports (and breaks); no modem state
    // notices, nothing here uses them.
    sendComPort(kSetLineStateMask,
                byteValue(kLineOverrun | kLineParity | kLineFraming | kLineBreak));
    sendComPort(kSetModemStateMask, byteValue(0));
    return true;
}

void SocketDevice::handleEvent(const TelnetDecoder::Event &e)
{
    if (e.kind == TelnetDecoder::Event::Kind::Option)
        answerOption(e.verb, e.option);
    else if (e.option == Telnet::kComPortOption)
        handleComPort(e.payload);
}

void SocketDevice::answerOption(unsigned char verb, unsigned char option)
{
    using namespace Telnet;
    // RFC 854's rule against loops: a state we are in is never confirmed again, and a refusal
    // is given once per option.
    const bool ours = option == kComPortOption || option == kBinary || option == kSuppressGoAhead;
    const bool his = option == kBinary || option == kSuppressGoAhead;
    switch (verb) {
    case kDo:
        if (option == kComPortOption)
            m_comPortAccepted = true;
        if (ours && !m_weWill[option]) {
            m_weWill[option] = true;
            queueOut(command(kWill, option));
        } else if (!ours && !m_answered[option]) {
            m_answered[option] = true;
            queueOut(command(kWont, option));
        }
        break;
    case kDont:
        if (option == kComPortOption) {
            m_comPortAccepted = false;
            m_comPortRefused = true;
        }
        if (m_weWill[option]) {
            m_weWill[option] = false;
            queueOut(command(kWont, option));
        }
        break;
    case kWill:
        if (his && !m_weDo[option]) {
            m_weDo[option] = true;
            queueOut(command(kDo, option));
        } else if (!his && !m_answered[option]) {
            m_answered[option] = true;
            queueOut(command(kDont, option));
        }
        break;
    case kWont:
        if (m_weDo[option]) {
            m_weDo[option] = false;
            queueOut(command(kDont, option));
        }
        break;
    default:
        break;
    }
}

void SocketDevice::handleComPort(const QByteArray &payload)
{
    if (payload.isEmpty())
        return;
    const int code = static_cast<unsigned char>(payload.at(0)) - kServerOffset;
    if (code < 1 || code > kPurgeData)
        return; // a command of the server's own (a signature request): not answered
    m_answer[code] = payload.mid(1);
    ++m_answerCount[code];
    if (payload.size() < 2)
        return;
    const auto value = static_cast<unsigned char>(payload.at(1));
    if (code == kSetControl)
        m_lastControl = value;
    if (code == kNotifyLineState) {
        if (value & kLineOverrun)
            ++m_overrun;
        if (value & kLineParity)
            ++m_parity;
        if (value & kLineFraming)
            ++m_frame;
        if (value & kLineBreak)
            ++m_break;
    }
}

bool SocketDevice::sendComPort(unsigned char code, const QByteArray &value)
{
    return queueOut(Telnet::subnegotiation(Telnet::kComPortOption, byteValue(code) + value));
}

bool SocketDevice::apply(const LineSettings &s, LineField field, CommFailure *failure)
{
    auto fail = [&](int err, bool dropped) {
        return settingFailed(failure, path(), field, s, err, dropped);
    };
    if (!isOpen())
        return fail(EBADF, false);
    if (const int err = settingOutOfRange(s))
        return fail(err, false);
    const int charSize = s.charSize & 0xFF;
    if (!isRfc2217())
        return true; // a raw server keeps the line as it was set up there

    unsigned char code = 0;
    QByteArray value;
    switch (field) {
    case LineField::BitRate: {
        const auto r = quint32(s.bitRate);
        const char bytes[] = {char(r >> 24), char(r >> 16), char(r >> 8), char(r)};
        code = kSetBaudRate;
        value = QByteArray(bytes, 4);
        break;
    }
    case LineField::CharSize:
        code = kSetDataSize;
        value = byteValue(static_cast<unsigned char>(charSize));
        break;
    case LineField::Parity:
        code = kSetParity;
        value = byteValue(s.parity == cpbOdd ? 2 : s.parity == cpbEven ? 3 : 1);
        break;
    case LineField::StopBits:
        code = kSetStopSize;
        value = byteValue(s.stopBits == csb2 ? 2 : s.stopBits == csb1p5 ? 3 : 1);
        break;
    case LineField::FlowCtrl:
        code = kSetControl;
        value = byteValue(s.flowCtrl == cfcRtsCts    ? kHardwareFlowControl
                          : s.flowCtrl == cfcXonXoff ? kXonXoffFlowControl
                                                     : kNoFlowControl);
        break;
    case LineField::XonChar:
    case LineField::XoffChar:
        return true; // RFC 2217 has no command for them: the server's own characters are used
    }

    const quint32 before = m_answerCount[code];
    if (!sendComPort(code, value))
        return fail(ENOBUFS, false);
    const auto deadline = Clock::now() + kAnswerLimit;
    for (;;) {
        int err = 0;
        const Pump p = pump(&err, true);
        if (p == Pump::Failed)
            return fail(err, false);
        if (p == Pump::Closed)
            return fail(ECONNRESET, false);
        if (m_answerCount[code] != before) {
            const QByteArray &got = m_answer[code];
            if (code == kSetBaudRate && got.size() == 4) {
                const qint64 rate = qint64(quint8(got[0])) << 24 | qint64(quint8(got[1])) << 16 |
                                    qint64(quint8(got[2])) << 8 | qint64(quint8(got[3]));
                if (std::llabs(rate - s.bitRate) * 100 <= qint64(s.bitRate) * kRateTolerancePercent)
                    return true;
                return fail(0, true);
            }
            return got == value ? true : fail(0, true);
        }
        if (Clock::now() >= deadline)
            return fail(ETIMEDOUT, false);
        if (!waitFor(m_fd, POLLIN, deadline))
            return fail(ECANCELED, false);
    }
}

bool SocketDevice::setRts(bool on)
{
    return isOpen() && isRfc2217() && sendComPort(kSetControl, byteValue(on ? kRtsOn : kRtsOff));
}

bool SocketDevice::setDtr(bool on)
{
    return isOpen() && isRfc2217() && sendComPort(kSetControl, byteValue(on ? kDtrOn : kDtrOff));
}
