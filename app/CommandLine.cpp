#include "app/CommandLine.h"

const char VELTRIP_HELP[] =
    "\n"
    "Records and shows the track of a GPS receiver. Each TRACK (GPD, GPX or KML)\n"
    "is opened at start as File, Open does, one segment each.\n"
    "\n"
    "  --port PORT   the receiver's port for this run (settings unchanged):\n"
    "      COMn:               serial port n, the device /dev/ttyS(n-1)\n"
    "      DEVICE              a serial device by its path, e.g. /dev/ttyUSB0\n"
    "      gpsd://HOST[:PORT]  the NMEA stream of a gpsd (default localhost:2947)\n"
    "      tcp://HOST:PORT     an NMEA byte stream over TCP\n"
    "      modem://[N]         the GPS of ModemManager's modem N (default: the first)\n"
    "      unix:PATH           an NMEA stream on a Unix socket (as gnss-share serves)\n"
    "      auto                the first receiver that answers: a gpsd on localhost,\n"
    "                          then the serial devices at 4800 to 115200 baud\n"
    "  --baud N      its baud rate for this run\n"
    "  --version     print the version and end\n"
    "  --help, -h    print this help and end\n"
    "\n"
    "When the stored port does not open at start, veltrip looks for a receiver\n"
    "as auto does and uses it for the run; GPS Setup shows it, OK there stores it.\n";

bool ParseCommandLine(const QStringList& args, CStartupOptions& options, QString& strError)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString strName = args[i];
        QString strValue;
        bool bHasValue = false;
        const qsizetype nEquals = strName.indexOf(QLatin1Char('='));
        if (strName.startsWith(QLatin1String("--")) && nEquals > 0) {
            strValue = strName.mid(nEquals + 1);
            strName.truncate(nEquals);
            bHasValue = true;
        }
        if (strName == QLatin1String("--help") || strName == QLatin1String("-h")) {
            options.m_bHelp = true;
            continue;
        }
        if (strName == QLatin1String("--version")) {
            options.m_bVersion = true;
            continue;
        }
        // After "--" every argument is a track, even one that starts with "-".
        if (strName == QLatin1String("--")) {
            options.m_trackPaths << args.mid(i + 1);
            return true;
        }
        if (!strName.startsWith(QLatin1Char('-'))) {
            options.m_trackPaths << args[i];
            continue;
        }
        if (strName != QLatin1String("--port") && strName != QLatin1String("--baud")) {
            strError = QStringLiteral("unknown argument '%1'").arg(args[i]);
            return false;
        }
        if (!bHasValue) {
            if (i + 1 >= args.size()) {
                strError = QStringLiteral("%1 needs a value").arg(strName);
                return false;
            }
            strValue = args[++i];
        }
        if (strName == QLatin1String("--port")) {
            if (strValue.isEmpty()) {
                strError = QStringLiteral("--port needs a device path");
                return false;
            }
            options.m_strPort = strValue;
        } else {
            bool bOk = false;
            const int nBaud = strValue.toInt(&bOk);
            if (!bOk || nBaud <= 0) {
                strError = QStringLiteral("--baud needs a positive whole number, not '%1'").arg(strValue);
                return false;
            }
            options.m_nBaudRate = nBaud;
        }
    }
    return true;
}

bool AsksForHelpOrVersion(const QStringList& args, CStartupOptions& options)
{
    options.m_bHelp = args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"));
    options.m_bVersion = args.contains(QLatin1String("--version"));
    return options.m_bHelp || options.m_bVersion;
}

CStartupOptions& StartupOptions()
{
    static CStartupOptions g_options;
    return g_options;
}
