#include "platform/DevicePaths.h"

#include <QDir>
#include <QFileInfo>
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
    // The card's file system matches names without regard to case.
    if (!strDevicePath.startsWith(STORAGE_CARD_PREFIX, Qt::CaseInsensitive))
        return strDevicePath;
    QString rest = strDevicePath.mid(STORAGE_CARD_PREFIX.size());
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return StorageCardFolder() + QLatin1Char('/') + rest;
}

QString DeviceName(const QString& strPath)
{
    if (strPath.startsWith(STORAGE_CARD_PREFIX, Qt::CaseInsensitive))
        return strPath;
    const QString strAbsolute = QDir::cleanPath(QDir::current().absoluteFilePath(strPath));
    const QString strCard = QDir::cleanPath(QDir::current().absoluteFilePath(StorageCardFolder()));
    if (strAbsolute.startsWith(strCard + QLatin1Char('/'))) {
        QString rest = strAbsolute.mid(strCard.size() + 1);
        rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
        return STORAGE_CARD_PREFIX + rest;
    }
    return QFileInfo(strAbsolute).fileName();
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
