#include "app/CommandLine.h"

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

CStartupOptions& StartupOptions()
{
    static CStartupOptions g_options;
    return g_options;
}
