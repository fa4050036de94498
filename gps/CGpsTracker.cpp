#include "gps/CGpsTracker.h"

#include "gps/NmeaDecoder.h"

CGpsTracker::CGpsTracker() = default;

CGpsTracker::~CGpsTracker() = default;

COutcome CGpsTracker::OpenPort(const QString& strPort, int nBaudRate)
{
    COutcome outcome = m_link.Open(strPort, nBaudRate);
    if (outcome)
        m_assembler.Reset();
    return outcome;
}

void CGpsTracker::ClosePort()
{
    m_link.Close();
}

void CGpsTracker::BeginTick()
{
    ++m_nSecsSinceLog;
    m_nUpdateFlags = 0;
    m_bRmcValid = 0;
    m_nFixQuality = 0;
    m_bFixVouched = false;
}

void CGpsTracker::PollPort(int nUtcCorrection)
{
    BeginTick();
    if (m_link.Reopen())
        m_assembler.Reset();
    m_link.Drain([this, nUtcCorrection](const char* pData, size_t nLength) {
        AssembleBytes(pData, nLength, nUtcCorrection);
    });
}

void CGpsTracker::AssembleBytes(const char* pData, size_t nLength, int nUtcCorrection)
{
    m_assembler.Feed(pData, nLength, [this, nUtcCorrection](QStringView line) {
        ProcessSentence(*this, line, nUtcCorrection);
    });
}
