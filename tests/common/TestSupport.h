#pragma once

#include "platform/MessageHook.h"
#include "tests/common/PeakMemory.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// The build folder: the programs and modules under test lie in it.
QString BuildDir();
// veltrip-cli of this build.
QString CliProgram();

// Folder of the shared test corpus (../shared/corpus beside the checkout).
QString CorpusDir();

// Skips the current test with a clear message when the corpus is absent, so a
// plain clone of the project still passes.
#define VELTRIP_REQUIRE_CORPUS()                                                    \
    do {                                                                            \
        if (!HaveCorpus())                                                          \
            GTEST_SKIP() << "test corpus not found at " << CorpusDir().toStdString() \
                         << " (clone the project beside ../shared to run this test)"; \
    } while (0)
bool HaveCorpus();

// Collects what the program shows through the message hook while in scope.
class CMessageCapture
{
public:
    CMessageCapture();
    ~CMessageCapture();
    CMessageCapture(const CMessageCapture&) = delete;
    CMessageCapture& operator=(const CMessageCapture&) = delete;

    QStringList m_messages;

private:
    MessageHook m_previous;
};

// Reads a whole file; empty when it cannot be read.
QByteArray ReadAll(const QString& strPath);


// A listening TCP socket on a free port of 127.0.0.1: its descriptor (-1 on
// failure), and the port in nPort.
int ListenOnLoopback(int& nPort);
// The next client of a listening socket, waiting at most nWaitMs: its
// descriptor, or -1 when none came.
int AcceptClient(int hListen, int nWaitMs);

// A gpsd stand-in on a free port of 127.0.0.1, for one client after another:
// the greeting, then every 100 ms for 3 s a JSON report followed by the
// NMEA text given (none: a gpsd without a receiver).
class CFakeGpsd
{
public:
    explicit CFakeGpsd(QByteArray nmea);
    ~CFakeGpsd();
    CFakeGpsd(const CFakeGpsd&) = delete;
    CFakeGpsd& operator=(const CFakeGpsd&) = delete;

    // gpsd://127.0.0.1:PORT
    QString PortName() const;

    int m_nPort = 0;

private:
    void Serve();

    QByteArray m_nmea;
    int m_hListen = -1;
    std::atomic<bool> m_bStop = false;
    std::thread m_thread;
};
