#include "tests/common/PeakMemory.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

CPeakRun RunForPeakMemory(const QString& strProgram, const QStringList& args, const QString& strStdin)
{
    std::vector<QByteArray> texts{QFile::encodeName(strProgram)};
    for (const QString& strArg : args)
        texts.push_back(QFile::encodeName(strArg));
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    // A child started by posix_spawn shares this process's memory until its
    // exec, and the kernel counts this process's peak as the child's own.
    // Giving back free memory and resetting the peak to the current size
    // keeps that out of the figure.
    malloc_trim(0);
    if (FILE* pClear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", pClear);
        std::fclose(pClear);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray stdinPath = QFile::encodeName(strStdin);
    if (!strStdin.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 0, stdinPath.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    CPeakRun run;
    const auto start = std::chrono::steady_clock::now();
    const int nSpawn = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nSpawn != 0)
        return run;
    int nStatus = 0;
    struct rusage usage {};
    if (wait4(pid, &nStatus, 0, &usage) != pid)
        return run;
    run.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    run.nPeakKiB = usage.ru_maxrss;
    run.dCpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                      + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}
