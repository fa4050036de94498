#include "platform/ModemPort.h"

#include "platform/Module.h"

namespace {

ModemPortEntry LoadEntry()
{
    QString strError;
    return ModuleEntry<ModemPortEntry>(MODEM_MODULE, MODEM_ENTRY, strError);
}

}

bool IsModemPortName(const QString& strName)
{
    return strName.startsWith(QLatin1StringView("modem://"), Qt::CaseInsensitive);
}

std::unique_ptr<CReceiverPort> OpenModemReceiver(const QString& strPort, int, bool bQuiet, COutcome& outcome)
{
    static const ModemPortEntry g_pfnOpen = LoadEntry();
    if (!g_pfnOpen) {
        outcome = COutcome::Fail(PortOpenFailure(strPort, 0).Message()
                                 + QStringLiteral(": modem ports need Qt D-Bus (Debian: libqt6dbus6)"));
        return nullptr;
    }
    return std::unique_ptr<CReceiverPort>(g_pfnOpen(strPort, bQuiet, &outcome));
}
