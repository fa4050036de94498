#include "platform/DevicePaths.h"

#include <QDir>
#include <QRegularExpression>

namespace {

const QString STORAGE_CARD_PREFIX = QStringLiteral("\\Storage card\\");

}

QString StorageCardFolder()
{
    const QString env = qEnvironmentVariable("VELTRIP_STORAGE_CARD");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    return QDir::homePath() + QStringLiteral("/Storage card");
}

QString HostPath(const QString& strDevicePath)
{
    QString rest = strDevicePath;
    QString root;
    // The card's file system matches names without regard to case.
    if (strDevicePath.startsWith(STORAGE_CARD_PREFIX, Qt::CaseInsensitive)) {
        rest = strDevicePath.mid(STORAGE_CARD_PREFIX.size());
        root = StorageCardFolder() + QLatin1Char('/');
    }
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return root + rest;
}

QString SerialDevicePath(const QString& strPort)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]*):$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(strPort.trimmed());
    if (m.hasMatch()) {
        bool ok = false;
        const int n = m.captured(1).toInt(&ok);
        if (ok)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return strPort;
}
