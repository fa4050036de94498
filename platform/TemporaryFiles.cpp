#include "platform/TemporaryFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int TEMP_SLOTS = 64;
constexpr int TEMP_CREATE_TRIES = 100;

enum class ESlot : int { Free, Filling, Listed };

struct CTemporarySlot
{
    std::atomic<ESlot> m_eState{ESlot::Free};
    char m_szPath[PATH_MAX];
};

CTemporarySlot g_aTemporaries[TEMP_SLOTS];

const int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// Only async-signal-safe calls: unlink, signal, raise.
void OnStopSignal(int nSignal)
{
    const int nErrno = errno;
    for (CTemporarySlot& slot : g_aTemporaries) {
        if (slot.m_eState.load() == ESlot::Listed)
            ::unlink(slot.m_szPath);
    }
    errno = nErrno;
    // The signal is blocked until the handler returns: it then ends the
    // program with its own status, as if never caught.
    std::signal(nSignal, SIG_DFL);
    std::raise(nSignal);
}

}

int ListTemporary(const QByteArray& path)
{
    if (size_t(path.size()) >= PATH_MAX)
        return -1;
    for (int i = 0; i < TEMP_SLOTS; ++i) {
        ESlot eFree = ESlot::Free;
        CTemporarySlot& slot = g_aTemporaries[i];
        if (!slot.m_eState.compare_exchange_strong(eFree, ESlot::Filling))
            continue;
        std::memcpy(slot.m_szPath, path.constData(), size_t(path.size()) + 1);
        slot.m_eState.store(ESlot::Listed);
        return i;
    }
    return -1;
}

void ForgetTemporary(int nSlot)
{
    if (nSlot >= 0 && nSlot < TEMP_SLOTS)
        g_aTemporaries[nSlot].m_eState.store(ESlot::Free);
}

void RemoveTemporariesOnStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int nSignal : STOP_SIGNALS)
        sigaddset(&action.sa_mask, nSignal);
    for (int nSignal : STOP_SIGNALS)
        sigaction(nSignal, &action, nullptr);
}

CStopSignalsHeld::CStopSignalsHeld()
{
    sigset_t stop;
    sigemptyset(&stop);
    for (int nSignal : STOP_SIGNALS)
        sigaddset(&stop, nSignal);
    pthread_sigmask(SIG_BLOCK, &stop, &m_previous);
}

CStopSignalsHeld::~CStopSignalsHeld()
{
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

long TemporaryOwner(const QString& strFileName)
{
    static const QRegularExpression TEMPORARY_NAME(QStringLiteral("^\\..+\\.([1-9][0-9]{0,9})-[0-9]+$"));
    const QRegularExpressionMatch match = TEMPORARY_NAME.match(strFileName);
    return match.hasMatch() ? match.captured(1).toLong() : 0;
}

void RemoveStaleTemporaries(const QByteArray& folder)
{
    const QDir dir(QFile::decodeName(folder));
    // Regular files only: a link or a folder of that name is not ours.
    const QStringList names = dir.entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& strName : names) {
        const long nOwner = TemporaryOwner(strName);
        // A process that runs, ours or another's (EPERM), keeps its file.
        if (nOwner <= 0 || nOwner == long(::getpid()) || nOwner > INT_MAX || ::kill(pid_t(nOwner), 0) == 0
            || errno != ESRCH)
            continue;
        ::unlink(QFile::encodeName(dir.filePath(strName)).constData());
    }
}

int CreateTemporaryBeside(const QByteArray& targetPath, QByteArray& temporaryPath)
{
    static std::atomic<int> s_nNext{0};
    const QFileInfo target(QFile::decodeName(targetPath));
    const QByteArray prefix = QFile::encodeName(target.path()) + "/." + QFile::encodeName(target.fileName()) + '.'
                              + QByteArray::number(::getpid()) + '-';
    RemoveStaleTemporaries(QFile::encodeName(target.path()));
    for (int i = 0; i < TEMP_CREATE_TRIES; ++i) {
        temporaryPath = prefix + QByteArray::number(s_nNext++);
        const int hFile = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (hFile >= 0 || errno != EEXIST)
            return hFile;
    }
    return -1;
}
