#pragma once

#include "platform/ReceiverPort.h"

#include <QString>
#include <memory>

// "modem://" or "modem://N": the GPS of a phone's modem through ModemManager
// on the system bus; without N the first modem that has one, with N the
// modem /org/freedesktop/ModemManager1/Modem/N. The scheme is matched without
// regard to case.
bool IsModemPortName(const QString& strName);

// The modem kind of receiver port (a PortOpener). The D-Bus side is the
// module veltrip-modem.so (platform/modem/), loaded on the first open, so
// that programs which never use a modem do not load Qt D-Bus.
std::unique_ptr<CReceiverPort> OpenModemReceiver(const QString& strPort, int nBaudRate, bool bQuiet,
                                                 COutcome& outcome);

// The module and its entry, which opens the port: null with the outcome set
// when it fails.
constexpr char MODEM_MODULE[] = "veltrip-modem.so";
constexpr char MODEM_ENTRY[] = "VeltripOpenModemPort";
using ModemPortEntry = CReceiverPort* (*)(const QString& strPort, bool bQuiet, COutcome* pOutcome);
