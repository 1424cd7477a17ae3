#pragma once

#include "link/CommPort.h"

class LineRecorder;

// Stands between the window and its serial port: passes everything through, and while the
// recorder records, hands it every byte the receiver reads and every key frame that is sent.
//
// Thread contract: window thread only.
class RecordingTap : public CommPort
{
public:
    RecordingTap(CommPort &port, LineRecorder &recorder) : m_port(port), m_recorder(recorder) {}

    bool SendString(const QByteArray &text) override;
    int ReadChar() override;
    bool isOpen() const override { return m_port.isOpen(); }
    qint64 recordedTimeUs() const override { return m_port.recordedTimeUs(); }

private:
    CommPort &m_port;
    LineRecorder &m_recorder;
};
