// The serial component's properties: each setter stores its value and, while the port is open,
// applies it to the line at once.
#include "comm/CommX.h"

#include "comm/CommReceiveThread_p.h"
#include "comm/CommSession_p.h"
#include "comm/CommTransThread_p.h"
#include "comm/CommXErrors_p.h"
#include "comm/SerialDevice_p.h"

#include <QCoreApplication>
#include <cerrno>

using namespace CommXErrors;

void TCustomCommX::applyOrRaise(const char *message, LineField field)
{
    CommFailure failure;
    if (!m_session->device->apply(*m_dcb, field, &failure))
        raise(message, failure);
}

void TCustomCommX::setPortNo(int value)
{
    if (!isOpen()) {
        m_portNo = value;
        return;
    }
    Close();
    m_portNo = value;
    Open();
}

void TCustomCommX::applyBitRate()
{
    m_dcb->bitRate = m_bitRate;
    applyOrRaise(kBitRate, LineField::BitRate);
}

void TCustomCommX::setBitRate(int value)
{
    m_bitRate = value;
    if (!isOpen())
        return;
    applyBitRate();
    // A rate below 10 would divide by zero in the character time.
    if (value < 10) {
        CommFailure failure;
        failure.error = EINVAL;
        failure.setting = bitRateText(value);
        raise(kBitRate, failure);
    }
    if (auto tx = m_transThread.lock())
        tx->CharTime = 1000 / (value / 10) + 1;
}

void TCustomCommX::setCharSize(int value)
{
    m_charSize = value;
    if (!isOpen())
        return;
    m_dcb->charSize = value;
    applyOrRaise(kCharSize, LineField::CharSize);
}

void TCustomCommX::setParityBit(TCommParityBits value)
{
    m_parityBit = value;
    if (!isOpen() || value < cpbNone || value > cpbEven)
        return;
    m_dcb->parity = value;
    applyOrRaise(kParity, LineField::Parity);
}

void TCustomCommX::setStopBit(TCommStopBits value)
{
    m_stopBit = value;
    if (!isOpen() || value < csb1 || value > csb2)
        return;
    m_dcb->stopBits = value;
    applyOrRaise(kStopBit, LineField::StopBits);
}

void TCustomCommX::setFlowCtrl(TCommFlowCtrls value)
{
    m_flowCtrl = value;
    if (isOpen())
        applyFlowCtrl();
}

void TCustomCommX::applyFlowCtrl()
{
    m_dcb->flowCtrl = m_flowCtrl;
    m_dcb->xonLimit = m_dcb->xoffLimit = m_bufLenReceive / 4;
    applyOrRaise(kFlowCtrl, LineField::FlowCtrl);
    m_session->flowCtrl = m_flowCtrl;
    // The lines as the flow mode leaves them: DTR on in every mode (DTR/DSR handshake has no
    // Linux equivalent), RTS on except in high-active half duplex, where the transmit thread
    // raises it for each batch. With RTS/CTS the driver takes RTS over from here.
    m_session->device->setDtr(true);
    m_session->device->setRts(m_flowCtrl != cfcHalfHigh);
}

void TCustomCommX::setTimeOutTrans(int value)
{
    m_timeOutTrans = value;
    if (isOpen())
        ApplyTimeOuts();
}

void TCustomCommX::setTimeOutReceive(int value)
{
    m_timeOutReceive = value;
    if (isOpen())
        ApplyTimeOuts();
}

void TCustomCommX::ApplyTimeOuts()
{
    // The receive time-out is Read's own deadline; the transmit one is the transmit thread's.
    m_session->timeOutTrans = m_timeOutTrans;
}

void TCustomCommX::setXonChar(char value)
{
    m_xonChar = value;
    if (!isOpen())
        return;
    m_dcb->xonChar = static_cast<unsigned char>(value);
    applyOrRaise(kXonChar, LineField::XonChar);
}

void TCustomCommX::setXoffChar(char value)
{
    m_xoffChar = value;
    if (!isOpen())
        return;
    m_dcb->xoffChar = static_cast<unsigned char>(value);
    applyOrRaise(kXoffChar, LineField::XoffChar);
}

void TCustomCommX::setBufLenTrans(int value)
{
    m_bufLenTrans = value;
    if (isOpen())
        ApplyBufLen();
}

void TCustomCommX::setBufLenReceive(int value)
{
    m_bufLenReceive = value;
    if (!isOpen())
        return;
    ApplyBufLen();
    setFlowCtrl(m_flowCtrl);
}

void TCustomCommX::ApplyBufLen()
{
    // Linux tty queues have no settable size; the receive size bounds what the component keeps
    // for its reader, the transmit size is Write's chunk size.
    if (m_bufLenReceive < 1 || m_bufLenTrans < 1) {
        CommFailure failure;
        failure.error = EINVAL;
        failure.setting =
            m_bufLenReceive < 1
                ? QCoreApplication::translate("CommX", "受信バッファ %1 バイト")
                      .arg(m_bufLenReceive)
                : QCoreApplication::translate("CommX", "送信バッファ %1 バイト").arg(m_bufLenTrans);
        raise(kBufLen, failure);
    }
}
