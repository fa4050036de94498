#pragma once

#include <QString>
#include <QStringList>

// Options of "veltrip [--port PATH] [--baud N]": a port and baud rate for this
// run only; the stored settings stay as they are.
struct CStartupOptions
{
    QString m_strPort;
    int m_nBaudRate = 0;    // 0: the stored rate
    bool m_bHelp = false;
};

inline constexpr const char* VELTRIP_USAGE = "usage: veltrip [--port PATH] [--baud N]";

// Parses the arguments after the program name; false with strError on
// anything it does not know.
bool ParseCommandLine(const QStringList& args, CStartupOptions& options, QString& strError);

// The options of this run, set by main before start-up reads them.
CStartupOptions& StartupOptions();
