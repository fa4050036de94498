#include "platform/DevicePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

const QString STORAGE_CARD_PREFIX = QStringLiteral("\\Storage card\\");
constexpr size_t PASSWD_BUFFER_MIN = 16 * 1024;

bool IsFolder(const QString& strPath)
{
    return !strPath.isEmpty() && QFileInfo(strPath).isDir();
}

// The user's home folder in the password database; empty when it has none.
QString PasswordHome()
{
    const long nSuggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(std::max(PASSWD_BUFFER_MIN, nSuggested > 0 ? size_t(nSuggested) : size_t(0)));
    struct passwd entry {};
    struct passwd* pEntry = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &pEntry) != 0 || !pEntry || !pEntry->pw_dir)
        return QString();
    return QFile::decodeName(pEntry->pw_dir);
}

// Qt's home path is the root when HOME is unset: never a place for the card.
QString HomeFolder()
{
    const QString strHome = qEnvironmentVariable("HOME");
    if (IsFolder(strHome))
        return strHome;
    const QString strPassword = PasswordHome();
    return IsFolder(strPassword) ? strPassword : QString();
}

}

QString StorageCardFolder()
{
    const QString env = qEnvironmentVariable("VELTRIP_STORAGE_CARD");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    const QString strHome = HomeFolder();
    return strHome.isEmpty() ? QString() : QDir::cleanPath(strHome) + QStringLiteral("/Storage card");
}

COutcome CheckStorageCard()
{
    if (StorageCardFolder().isEmpty())
        return COutcome::Fail(QStringLiteral("No home folder for the storage card: HOME is not a folder and the password database "
                                              "names none (set HOME or VELTRIP_STORAGE_CARD)"));
    return COutcome::Ok();
}

QString HostPath(const QString& strDevicePath)
{
    // The card's file system matches names without regard to case.
    if (!strDevicePath.startsWith(STORAGE_CARD_PREFIX, Qt::CaseInsensitive))
        return strDevicePath;
    const QString strCard = StorageCardFolder();
    if (strCard.isEmpty())
        return QString();
    QString rest = strDevicePath.mid(STORAGE_CARD_PREFIX.size());
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return strCard + QLatin1Char('/') + rest;
}

QString DeviceName(const QString& strPath)
{
    if (strPath.startsWith(STORAGE_CARD_PREFIX, Qt::CaseInsensitive))
        return strPath;
    const QString strAbsolute = QDir::cleanPath(QDir::current().absoluteFilePath(strPath));
    const QString strFolder = StorageCardFolder();
    const QString strCard = QDir::cleanPath(QDir::current().absoluteFilePath(strFolder));
    if (!strFolder.isEmpty() && strAbsolute.startsWith(strCard + QLatin1Char('/'))) {
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
