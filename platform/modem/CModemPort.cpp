#include "platform/modem/CModemPort.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMap>
#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>
#include <thread>

namespace {

const QString MM_SERVICE = QStringLiteral("org.freedesktop.ModemManager1");
const QString MM_PATH = QStringLiteral("/org/freedesktop/ModemManager1");
const QString MM_MODEM_PATH = QStringLiteral("/org/freedesktop/ModemManager1/Modem/");
const QString MM_LOCATION_IFACE = QStringLiteral("org.freedesktop.ModemManager1.Modem.Location");
const QString DBUS_PROPERTIES_IFACE = QStringLiteral("org.freedesktop.DBus.Properties");
const QString DBUS_OBJECT_MANAGER_IFACE = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QLatin1StringView MODEM_SCHEME("modem://");

// MM_MODEM_LOCATION_SOURCE_GPS_NMEA: the source whose Location entry is NMEA text.
constexpr uint32_t MM_SOURCE_GPS_NMEA = 4;
// The GPS refresh rate in seconds the tick wants; 0 is ModemManager's "no limit".
constexpr uint32_t MODEM_REFRESH_SECONDS = 1;
constexpr uint32_t MM_REFRESH_UNLIMITED = 0;

// A user who is waiting may wait a while for ModemManager; a quiet reopen
// during a tick only briefly. The enabling talks to the modem and may take
// longer: it completes (or fails) during later ticks.
constexpr int MODEM_CALL_WAIT_MS = 2000;
constexpr int MODEM_RECALL_WAIT_MS = 100;
constexpr int MODEM_SETUP_TIMEOUT_MS = 30000;
constexpr int MODEM_CLOSE_WAIT_MS = 500;
constexpr auto MODEM_POLL_STEP = std::chrono::milliseconds(10);
// NMEA text held for the ticks; updates beyond it are dropped.
constexpr qsizetype MODEM_QUEUE_MAX = 1024 * 1024;

using DBusInterfaces = QMap<QString, QVariantMap>;
using DBusManagedObjects = QMap<QDBusObjectPath, DBusInterfaces>;

// What the user is told of a D-Bus error.
struct DBusErrorReason
{
    const char* szName;
    const char* szReason;
};

const DBusErrorReason DBUS_ERROR_REASONS[] = {
    {"org.freedesktop.DBus.Error.ServiceUnknown", "ModemManager is not running"},
    {"org.freedesktop.DBus.Error.NameHasNoOwner", "ModemManager is not running"},
    {"org.freedesktop.DBus.Error.NoReply", "ModemManager does not answer"},
    {"org.freedesktop.DBus.Error.Timeout", "ModemManager does not answer"},
    {"org.freedesktop.DBus.Error.AccessDenied", "access denied"},
    {"org.freedesktop.ModemManager1.Error.Core.Unauthorized", "access denied"},
};

QString ReasonOf(const QDBusError& error)
{
    const auto* pReason = std::find_if(std::begin(DBUS_ERROR_REASONS), std::end(DBUS_ERROR_REASONS),
                                       [&error](const DBusErrorReason& reason) {
                                           return error.name() == QLatin1StringView(reason.szName);
                                       });
    const QString strDetail = error.name() + QStringLiteral(": ") + error.message();
    if (pReason == std::end(DBUS_ERROR_REASONS))
        return strDetail;
    return QString::fromLatin1(pReason->szReason) + QStringLiteral(" (") + strDetail + u')';
}

COutcome ModemFailure(const QString& strPort, const QString& strReason)
{
    return COutcome::Fail(PortOpenFailure(strPort, 0).Message() + QStringLiteral(": ") + strReason);
}

// The number N of ".../Modem/N"; -1 for any other path.
int ModemNumber(const QString& strPath)
{
    if (!strPath.startsWith(MM_MODEM_PATH))
        return -1;
    bool bNumber = false;
    const int nNumber = strPath.mid(MM_MODEM_PATH.size()).toInt(&bNumber);
    return bNumber && nNumber >= 0 ? nNumber : -1;
}

// The modem a name asks for: -1 the first with a GPS, else its number;
// nothing when the name is malformed.
std::optional<int> WantedModem(const QString& strPort)
{
    const QString strRest = strPort.mid(MODEM_SCHEME.size());
    if (strRest.isEmpty())
        return -1;
    const bool bDigits = std::all_of(strRest.begin(), strRest.end(), [](QChar ch) { return ch.isDigit(); });
    bool bNumber = false;
    const int nNumber = strRest.toInt(&bNumber);
    if (!bDigits || !bNumber)
        return std::nullopt;
    return nNumber;
}

bool HasGpsNmea(const DBusInterfaces& interfaces)
{
    const auto it = interfaces.find(MM_LOCATION_IFACE);
    return it != interfaces.end() && (it->value(QStringLiteral("Capabilities")).toUInt() & MM_SOURCE_GPS_NMEA);
}

// The path of the modem wanted (the lowest number with a GPS for -1), or
// nothing with the reason.
std::optional<QString> ChooseModem(const DBusManagedObjects& objects, int nWanted, QString& strReason)
{
    std::optional<QString> chosen;
    int nChosen = INT_MAX;
    bool bFound = false;
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const int nNumber = ModemNumber(it.key().path());
        if (nNumber < 0 || (nWanted >= 0 && nNumber != nWanted))
            continue;
        bFound = true;
        if (HasGpsNmea(it.value()) && nNumber < nChosen) {
            chosen = it.key().path();
            nChosen = nNumber;
        }
    }
    if (!chosen) {
        strReason = nWanted < 0 ? QStringLiteral("no modem with a GPS")
                    : bFound    ? QStringLiteral("modem %1 has no GPS").arg(nWanted)
                                : QStringLiteral("there is no modem %1").arg(nWanted);
    }
    return chosen;
}

}

CModemPort::CModemPort(const QDBusConnection& bus, const QString& strOwner, const QString& strPath)
    : m_bus(bus)
    , m_strOwner(strOwner)
    , m_strPath(strPath)
{
}

CModemPort::~CModemPort()
{
    // Only what this port changed is undone: the refresh rate and the NMEA
    // source as they were, the other sources as they are now.
    if (m_bLost || !m_bus.isConnected())
        return;
    if (m_nRefreshBefore)
        SetRefreshRate(*m_nRefreshBefore, MODEM_CLOSE_WAIT_MS);
    if (!m_bChanged)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(m_strOwner, m_strPath, MM_LOCATION_IFACE, QStringLiteral("Setup"));
    call << ((m_nEnabled & ~MM_SOURCE_GPS_NMEA) | (m_nEnabledBefore & MM_SOURCE_GPS_NMEA)) << m_bSignalsBefore;
    m_bus.call(call, QDBus::Block, MODEM_CLOSE_WAIT_MS);
}

std::unique_ptr<CModemPort> CModemPort::Open(const QString& strPort, bool bQuiet, COutcome& outcome)
{
    const int nWaitMs = bQuiet ? MODEM_RECALL_WAIT_MS : MODEM_CALL_WAIT_MS;
    const std::optional<int> nWanted = WantedModem(strPort);
    if (!nWanted) {
        outcome = ModemFailure(strPort, QStringLiteral("a modem port is modem:// or modem://N"));
        return nullptr;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        outcome = ModemFailure(strPort, QStringLiteral("no D-Bus system bus (") + bus.lastError().message() + u')');
        return nullptr;
    }
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(MM_SERVICE, MM_PATH, DBUS_OBJECT_MANAGER_IFACE, QStringLiteral("GetManagedObjects")),
        QDBus::Block, nWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        outcome = ModemFailure(strPort, ReasonOf(QDBusError(reply)));
        return nullptr;
    }
    DBusManagedObjects objects;
    if (reply.signature() == QLatin1StringView("a{oa{sa{sv}}}"))
        reply.arguments().at(0).value<QDBusArgument>() >> objects;
    QString strReason;
    const std::optional<QString> strPath = ChooseModem(objects, *nWanted, strReason);
    if (!strPath) {
        outcome = ModemFailure(strPort, strReason);
        return nullptr;
    }

    std::unique_ptr<CModemPort> port(new CModemPort(bus, reply.service(), *strPath));
    if (!port->Watch()) {
        outcome = ModemFailure(strPort, QStringLiteral("cannot follow the modem's location (")
                                            + bus.lastError().message() + u')');
        return nullptr;
    }
    const QVariantMap location = objects.value(QDBusObjectPath(*strPath)).value(MM_LOCATION_IFACE);
    port->m_nEnabled = port->m_nEnabledBefore = location.value(QStringLiteral("Enabled")).toUInt();
    port->m_bSignalsBefore = location.value(QStringLiteral("SignalsLocation")).toBool();
    const uint32_t nRefresh = location.value(QStringLiteral("GpsRefreshRate")).toUInt();
    if (nRefresh != MODEM_REFRESH_SECONDS && nRefresh != MM_REFRESH_UNLIMITED) {
        port->SetRefreshRate(MODEM_REFRESH_SECONDS, 0);
        port->m_nRefreshBefore = nRefresh;
    }
    if (!(port->m_nEnabled & MM_SOURCE_GPS_NMEA) || !port->m_bSignalsBefore)
        port->Enable(port->m_nEnabled | MM_SOURCE_GPS_NMEA, true);

    // A user who is waiting hears why the enabling failed; one still under
    // way completes during later ticks.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nWaitMs);
    while (port->m_setup && !port->m_setup->isFinished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(MODEM_POLL_STEP);
    if (port->m_setup && port->m_setup->isFinished() && port->m_setup->isError()) {
        outcome = ModemFailure(strPort, ReasonOf(port->m_setup->error()));
        port->m_bLost = true;
        return nullptr;
    }
    return port;
}

bool CModemPort::Watch()
{
    auto* pWatcher = new QDBusServiceWatcher(m_strOwner, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(pWatcher, &QDBusServiceWatcher::serviceUnregistered, this, &CModemPort::OnOwnerGone);
    return m_bus.connect(m_strOwner, m_strPath, DBUS_PROPERTIES_IFACE, QStringLiteral("PropertiesChanged"), this,
                         SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)))
           && m_bus.connect(m_strOwner, MM_PATH, DBUS_OBJECT_MANAGER_IFACE, QStringLiteral("InterfacesRemoved"), this,
                            SLOT(OnInterfacesRemoved(QDBusObjectPath, QStringList)));
}

void CModemPort::Enable(uint32_t nEnabled, bool bSignals)
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_strOwner, m_strPath, MM_LOCATION_IFACE, QStringLiteral("Setup"));
    call << nEnabled << bSignals;
    m_setup = m_bus.asyncCall(call, MODEM_SETUP_TIMEOUT_MS);
    m_bChanged = true;
    m_nEnabled = nEnabled;
}

// With nWaitMs 0 the call is sent without waiting for its answer: a modem
// that refuses keeps its rate, and its updates still come, only slower.
void CModemPort::SetRefreshRate(uint32_t nSeconds, int nWaitMs)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(m_strOwner, m_strPath, MM_LOCATION_IFACE, QStringLiteral("SetGpsRefreshRate"));
    call << nSeconds;
    if (nWaitMs > 0)
        m_bus.call(call, QDBus::Block, nWaitMs);
    else
        m_bus.asyncCall(call, MODEM_SETUP_TIMEOUT_MS);
}

int CModemPort::BytesWaiting()
{
    if (m_setup && m_setup->isFinished()) {
        m_bLost = m_bLost || m_setup->isError();
        m_setup.reset();
    }
    if (m_bLost)
        return -1;
    return int(std::min<qsizetype>(m_queue.size() - m_nQueueStart, INT_MAX));
}

ptrdiff_t CModemPort::Read(char* pBuffer, size_t nMax)
{
    const qsizetype nCount = std::min<qsizetype>(m_queue.size() - m_nQueueStart, qsizetype(std::min<size_t>(nMax, INT_MAX)));
    std::copy_n(m_queue.constData() + m_nQueueStart, nCount, pBuffer);
    m_nQueueStart += nCount;
    if (m_nQueueStart == m_queue.size()) {
        m_queue.clear();
        m_nQueueStart = 0;
    }
    return nCount;
}

void CModemPort::OnPropertiesChanged(const QString& strInterface, const QVariantMap& changed, const QStringList&)
{
    if (strInterface != MM_LOCATION_IFACE)
        return;
    const auto itEnabled = changed.find(QStringLiteral("Enabled"));
    if (itEnabled != changed.end())
        m_nEnabled = itEnabled->toUInt();
    const QVariant location = changed.value(QStringLiteral("Location"));
    if (location.userType() != qMetaTypeId<QDBusArgument>())
        return;
    const QDBusArgument argument = location.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1StringView("a{uv}"))
        return;
    QMap<uint, QDBusVariant> sources;
    argument >> sources;
    const auto itNmea = sources.find(MM_SOURCE_GPS_NMEA);
    if (itNmea != sources.end() && itNmea->variant().userType() == QMetaType::QString)
        Queue(itNmea->variant().toString());
}

void CModemPort::OnInterfacesRemoved(const QDBusObjectPath& path, const QStringList& interfaces)
{
    if (path.path() == m_strPath && interfaces.contains(MM_LOCATION_IFACE))
        m_bLost = true;
}

void CModemPort::OnOwnerGone()
{
    m_bLost = true;
}

void CModemPort::Queue(const QString& strNmea)
{
    // The traces of one update are joined by line ends, the last without
    // one; it ends here, or the next update's "$" would drop it.
    QByteArray text = strNmea.toLatin1();
    if (!text.endsWith('\n'))
        text += "\r\n";
    if (m_queue.size() - m_nQueueStart + text.size() > MODEM_QUEUE_MAX)
        return;
    m_queue += text;
}
