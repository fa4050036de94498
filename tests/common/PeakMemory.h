#pragma once

#include <QString>
#include <QStringList>

// Runs a program to its end with its output thrown away (its input read
// from strStdin when given) and returns its exit code (-1 when a signal ended
// it), its peak resident memory in KiB and its wall time. The peak is not
// below this process's own size at the call, so measure while this process
// is small. Used by the tests and the memory and start-up benchmarks.
struct CPeakRun
{
    int nExit = -1;
    long nPeakKiB = 0;
    double dSeconds = 0;      // from the spawn to the end
    double dCpuSeconds = 0;   // user and system time
};
CPeakRun RunForPeakMemory(const QString& strProgram, const QStringList& args, const QString& strStdin = QString());

// False in a build with AddressSanitizer, whose allocator reports no heap
// figures to mallinfo2 and pads every block: memory comparisons would
// measure the sanitizer, not the program.
constexpr bool HeapFiguresAreThePrograms()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}
