#pragma once

#include <QString>
#include <QStringList>

// Options of "veltrip [--port PORT] [--baud N] [TRACK...]": a port and baud
// rate for this run only (the stored settings stay as they are) and tracks
// to open at start.
struct CStartupOptions
{
    QString m_strPort;
    int m_nBaudRate = 0;    // 0: the stored rate
    QStringList m_trackPaths;
    bool m_bHelp = false;
    bool m_bVersion = false;
};

inline constexpr const char* VELTRIP_USAGE = "usage: veltrip [--port PORT] [--baud N] [TRACK...]";

// The text of --help: the usage, then one line per option and per kind of
// port.
extern const char VELTRIP_HELP[];

// Parses the arguments after the program name; false with strError on an
// option it does not know. Any other argument is a track.
bool ParseCommandLine(const QStringList& args, CStartupOptions& options, QString& strError);

// Whether the arguments ask for the help or the version only: answered
// before any display is opened.
bool AsksForHelpOrVersion(const QStringList& args, CStartupOptions& options);

// The options of this run, set by main before start-up reads them.
CStartupOptions& StartupOptions();
