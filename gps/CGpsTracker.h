#pragma once

#include "gps/CReceiverLink.h"
#include "gps/CSentenceAssembler.h"
#include "gps/CSkyTable.h"
#include "platform/Outcome.h"

#include <QString>
#include <cstddef>
#include <cstdint>

// Update bits: which values the decoder delivered during the current tick.
constexpr uint32_t UPD_LATITUDE = 0x0001;
constexpr uint32_t UPD_LONGITUDE = 0x0002;
constexpr uint32_t UPD_ALTITUDE = 0x0004;
constexpr uint32_t UPD_SPEED = 0x0008;
constexpr uint32_t UPD_COURSE = 0x0010;
constexpr uint32_t UPD_TIME = 0x0020;
constexpr uint32_t UPD_DATE = 0x0040;
constexpr uint32_t UPD_HDOP = 0x1000;

constexpr uint32_t UPD_POSITION = UPD_LATITUDE | UPD_LONGITUDE;

constexpr int GPS_SAT_COUNT = 12;

struct GpsSatellite
{
    int32_t nFixPrn;
    int32_t nPrn;
    int32_t nElevation;
    int32_t nAzimuth;
    int32_t nSnr;
};

// The one model object: the receiver's latest fix and the satellite status,
// with the parts that deliver them, the link to the receiver and the sentence
// assembly. The track log that records the fixes lives beside it (track/).
class CGpsTracker
{
public:
    CGpsTracker();
    virtual ~CGpsTracker();
    CGpsTracker(const CGpsTracker&) = delete;
    CGpsTracker& operator=(const CGpsTracker&) = delete;

    // Opens the receiver's port; a failure says why, for the user. A port
    // that opened and then went away is reopened by PollPort, quietly, every
    // GPS_REOPEN_TICKS ticks. ClosePort closes it for good.
    COutcome OpenPort(const QString& strPort, int nBaudRate);
    void ClosePort();
    // One tick: clears the per-tick fields, drains the port and decodes each
    // complete line, with times shifted by nUtcCorrection hours.
    void PollPort(int nUtcCorrection);
    // The two halves of PollPort, for replaying bytes that come from elsewhere
    // (a capture file) through the same assembly: BeginTick counts the second
    // and clears the per-tick fields, AssembleBytes handles bytes in order
    // exactly as the drain of the port does, each completed line going to
    // ProcessSentence (NmeaDecoder.h).
    void BeginTick();
    void AssembleBytes(const char* pData, size_t nLength, int nUtcCorrection);

    bool HasPosition() const { return (m_nUpdateFlags & UPD_POSITION) == UPD_POSITION; }
    // A position the receiver vouches for: both halves decoded in this tick,
    // and a sentence of this tick said the fix is valid. Only such a fix is
    // recorded and followed by the map.
    bool HasValidFix() const { return HasPosition() && m_bFixVouched; }

    CReceiverLink m_link;
    CSentenceAssembler m_assembler;
    uint32_t m_nUpdateFlags = 0;
    int32_t m_nSecsSinceLog = 0;   // ticks since the last stored point
    float m_fLatitude = 0;
    float m_fLongitude = 0;
    float m_fAltitude = 0;
    float m_fSpeed = 0;
    float m_fCourse = 0;
    float m_fLastLogCourse = 0;
    int32_t m_nHour = 0;
    int32_t m_nMinute = 0;
    int32_t m_nSecond = 0;
    int32_t m_nYear = 0;
    int32_t m_nMonth = 0;
    int32_t m_nDay = 0;
    float m_fHdop = 0;
    int32_t m_nSatsUsed = 0;
    int32_t m_bRmcValid = 0;
    int32_t m_nFixQuality = 0;
    // Per tick: an RMC status other than "V" or a GGA fix quality of 1 or
    // more was decoded. A cold start sends its placeholder position as void.
    bool m_bFixVouched = false;
    char m_chGsaMode = 0;
    int8_t m_nGsaFixType = 0;
    float m_fPdop = 0;
    float m_fGsaHdop = 0;
    float m_fVdop = 0;
    int8_t m_nGsvMessages = 0;
    int8_t m_nGsvMessage = 0;
    int8_t m_nSatsInView = 0;
    GpsSatellite m_aSats[GPS_SAT_COUNT] = {};
    // Every system's satellites in view and used, for the sky plot.
    CSkyTable m_sky;
};
