#include "comm/DeviceReturnWatch.h"

#include "comm/NetworkAddress.h"
#include "comm/TtyReturnWatch_p.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <sys/stat.h>

namespace
{

constexpr std::chrono::milliseconds kRetryPeriod{500};
// Retries after a change: a device that does not open within this many is waited for again.
constexpr int kRetriesPerChange = 10;
// A network unit gives no sign of its return: it is tried again on this period.
constexpr std::chrono::milliseconds kNetworkRetryPeriod{2000};

// A server's port is tried again on a period; retryLater() adds nothing, the next period is the
// next try.
class NetworkReturnWatch : public DeviceReturnWatch
{
public:
    NetworkReturnWatch(const QString &address, QObject *parent)
        : DeviceReturnWatch(address, parent), m_period(new QTimer(this))
    {
        m_period->setInterval(kNetworkRetryPeriod);
        connect(m_period, &QTimer::timeout, this, [this] { emit mayBeBack(); });
        m_period->start();
    }

private:
    QTimer *m_period;
};

} // namespace

DeviceReturnWatch *DeviceReturnWatch::create(const QString &address, const QString &lostIdentity,
                                             QObject *parent)
{
    if (NetworkAddress::looksLikeNetwork(address))
        return new NetworkReturnWatch(address, parent);
    return new TtyReturnWatch(address, lostIdentity, parent);
}

QString DeviceReturnWatch::identityOf(const QString &address)
{
    if (NetworkAddress::looksLikeNetwork(address))
        return address; // nothing on this machine changes when the server's unit is made anew
    struct stat st {
    };
    if (::stat(QFile::encodeName(address).constData(), &st) != 0)
        return {};
    return QStringLiteral("%1:%2:%3:%4")
        .arg(quint64(st.st_dev))
        .arg(quint64(st.st_ino))
        .arg(quint64(st.st_rdev))
        .arg(qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec);
}

DeviceReturnWatch::DeviceReturnWatch(const QString &address, QObject *parent)
    : QObject(parent), m_address(address), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(kRetryPeriod);
    connect(m_retry, &QTimer::timeout, this, &DeviceReturnWatch::mayBeBack);
}

DeviceReturnWatch::~DeviceReturnWatch() = default;

void DeviceReturnWatch::retryLater()
{
    if (m_retriesLeft <= 0 || m_retry->isActive())
        return;
    --m_retriesLeft;
    m_retry->start();
}

void DeviceReturnWatch::changed()
{
    m_retriesLeft = kRetriesPerChange;
    m_retry->stop();
    emit mayBeBack();
}
