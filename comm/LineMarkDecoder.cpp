#include "comm/LineMarkDecoder_p.h"

void LineMarkDecoder::feed(const char *raw, qsizetype size, QByteArray &out)
{
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        switch (m_state) {
        case State::Data:
            if (c == 0xFF)
                m_state = State::AfterFF;
            else
                out.append(char(c));
            break;
        case State::AfterFF:
            if (c == 0x00) {
                m_state = State::AfterFF00;
            } else {
                // 0xFF 0xFF is an escaped 0xFF; anything else after 0xFF is not a mark the
                // driver makes, so both bytes are data.
                out.append(char(0xFF));
                if (c != 0xFF)
                    out.append(char(c));
                m_state = State::Data;
            }
            break;
        case State::AfterFF00:
            out.append(char(c));
            m_state = State::Data;
            break;
        }
    }
}
