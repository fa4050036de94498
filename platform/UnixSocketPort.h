#pragma once

#include "platform/ReceiverPort.h"

#include <QString>
#include <memory>

// "unix:PATH": NMEA text on a Unix stream socket, as gnss-share serves a
// phone's receiver. The scheme is matched without regard to case.
bool IsUnixSocketPortName(const QString& strName);

// The Unix socket kind of receiver port (a PortOpener): a CSocketPort on the
// socket at PATH, reopened quietly like the network ports when its server
// goes away.
std::unique_ptr<CReceiverPort> OpenUnixSocketReceiver(const QString& strPort, int nBaudRate, bool bQuiet,
                                                      COutcome& outcome);
