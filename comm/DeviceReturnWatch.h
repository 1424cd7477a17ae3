#pragma once

#include <QObject>
#include <QString>

class QTimer;

// Tells when a device that went away may be back, so that its port can be opened again. Each
// device backend watches in its own way (a tty by the file system's change notices on its
// path); create() picks the watch that fits the address.
//
// mayBeBack() is raised when the address leads to a device again. The caller then tries to
// open it; when that fails (the device is still settling: a node not yet given its group, a
// by-id link ahead of its node) it calls retryLater(), which raises mayBeBack() again a little
// later, a bounded number of times. Nothing wakes more often than twice a second.
//
// Thread contract: window thread only.
class DeviceReturnWatch : public QObject
{
    Q_OBJECT
public:
    // lostIdentity: what the address led to while the device was open (see identityOf), so
    // that a stale node still in place is not taken for the device's return.
    static DeviceReturnWatch *create(const QString &address, const QString &lostIdentity,
                                     QObject *parent = nullptr);
    // A text that changes when the device behind address is made anew; empty when the address
    // leads nowhere.
    static QString identityOf(const QString &address);

    ~DeviceReturnWatch() override;

    const QString &address() const { return m_address; }
    void retryLater();

signals:
    void mayBeBack();

protected:
    DeviceReturnWatch(const QString &address, QObject *parent);
    // A change was seen: the retries start over.
    void changed();

private:
    QString m_address;
    QTimer *m_retry = nullptr;
    int m_retriesLeft = 0;
};
