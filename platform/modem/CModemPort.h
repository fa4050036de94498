#pragma once

#include "platform/ReceiverPort.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <optional>

// The GPS of a modem through ModemManager's Location interface: the port
// enables the GPS NMEA source with location signals, asks for an update a
// second (the tick's pace; ModemManager's own default is far slower), queues
// the NMEA text of
// every update of the Location property as the receiver's bytes, and gives
// the modem back as it found it when it closes. Updates arrive through the
// thread's event loop (the window's, or the one `log` runs between ticks);
// no query waits for the modem longer than the open allows.
class CModemPort : public QObject, public CReceiverPort
{
    Q_OBJECT

public:
    ~CModemPort() override;

    // The modem the name stands for, its source enabled (or the enabling
    // still under way); null with the user's message in outcome.
    static std::unique_ptr<CModemPort> Open(const QString& strPort, bool bQuiet, COutcome& outcome);

    // -1 once the modem or ModemManager has gone, or the enabling failed.
    int BytesWaiting() override;
    ptrdiff_t Read(char* pBuffer, size_t nMax) override;

private slots:
    void OnPropertiesChanged(const QString& strInterface, const QVariantMap& changed, const QStringList& invalidated);
    void OnInterfacesRemoved(const QDBusObjectPath& path, const QStringList& interfaces);
    void OnOwnerGone();

private:
    CModemPort(const QDBusConnection& bus, const QString& strOwner, const QString& strPath);
    bool Watch();
    void Enable(uint32_t nEnabled, bool bSignals);
    void SetRefreshRate(uint32_t nSeconds, int nWaitMs);
    void Queue(const QString& strNmea);

    QDBusConnection m_bus;
    QString m_strOwner;   // ModemManager's unique name: a restarted one is another modem
    QString m_strPath;
    uint32_t m_nEnabled = 0;          // the sources enabled now
    uint32_t m_nEnabledBefore = 0;    // and before the port enabled its own
    bool m_bSignalsBefore = false;
    bool m_bChanged = false;          // Setup was called: undone at close
    std::optional<uint32_t> m_nRefreshBefore;   // the refresh rate the port changed, in seconds
    std::optional<QDBusPendingCall> m_setup;   // the enabling while under way
    bool m_bLost = false;
    QByteArray m_queue;
    qsizetype m_nQueueStart = 0;
};
