#include "comm/TelnetCodec_p.h"

using namespace Telnet;

QByteArray Telnet::escape(const char *data, qsizetype size)
{
    QByteArray out;
    out.reserve(size + size / 8);
    for (qsizetype i = 0; i < size; ++i) {
        out.append(data[i]);
        if (static_cast<unsigned char>(data[i]) == kIac)
            out.append(char(kIac));
    }
    return out;
}

QByteArray Telnet::command(unsigned char verb, unsigned char option)
{
    const char bytes[] = {char(kIac), char(verb), char(option)};
    return QByteArray(bytes, sizeof bytes);
}

QByteArray Telnet::subnegotiation(unsigned char option, const QByteArray &payload)
{
    QByteArray out;
    out.append(char(kIac)).append(char(kSb)).append(char(option));
    out.append(escape(payload.constData(), payload.size()));
    out.append(char(kIac)).append(char(kSe));
    return out;
}

void TelnetDecoder::reset()
{
    m_state = State::Data;
    m_sub = Event();
    m_subTooLong = false;
}

void TelnetDecoder::feed(const char *input, qsizetype size, QByteArray &out,
                         std::vector<Event> &events)
{
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(input[i]);
        switch (m_state) {
        case State::Data:
            if (c == kIac)
                m_state = State::Iac;
            else
                out.append(char(c));
            break;
        case State::Iac:
            if (c == kIac) {
                out.append(char(kIac));
                m_state = State::Data;
            } else if (c >= kWill && c <= kDont) {
                m_verb = c;
                m_state = State::Verb;
            } else if (c == kSb) {
                m_state = State::SubOption;
            } else {
                m_state = State::Data; // NOP, GA, DM, a stray SE ...: nothing to do
            }
            break;
        case State::Verb: {
            Event e;
            e.verb = m_verb;
            e.option = c;
            events.push_back(std::move(e));
            m_state = State::Data;
            break;
        }
        case State::SubOption:
            m_sub = Event();
            m_sub.kind = Event::Kind::Subnegotiation;
            m_sub.option = c;
            m_subTooLong = false;
            m_state = State::Sub;
            break;
        case State::Sub:
            if (c == kIac) {
                m_state = State::SubIac;
            } else if (m_sub.payload.size() < kMaxSubnegotiation) {
                m_sub.payload.append(char(c));
            } else {
                m_subTooLong = true;
            }
            break;
        case State::SubIac:
            if (c == kIac) {
                if (m_sub.payload.size() < kMaxSubnegotiation)
                    m_sub.payload.append(char(kIac));
                else
                    m_subTooLong = true;
                m_state = State::Sub;
            } else if (c == kSe) {
                if (!m_subTooLong)
                    events.push_back(std::move(m_sub));
                m_sub = Event();
                m_state = State::Data;
            } else {
                // A command inside a subnegotiation: the subnegotiation was cut off; the byte
                // is taken as the command after IAC.
                m_sub = Event();
                m_state = State::Iac;
                --i;
            }
            break;
        }
    }
}
