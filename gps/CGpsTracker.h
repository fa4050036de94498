#pragma once

#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <memory>

class CReceiverPort;
class CLogFile;

// Update bits: which values the decoder delivered during the current tick.
constexpr uint32_t UPD_LATITUDE = 0x0001;
constexpr uint32_t UPD_LONGITUDE = 0x0002;
constexpr uint32_t UPD_ALTITUDE = 0x0004;
constexpr uint32_t UPD_SPEED = 0x0008;
constexpr uint32_t UPD_COURSE = 0x0010;
constexpr uint32_t UPD_TIME = 0x0020;
constexpr uint32_t UPD_DATE = 0x0040;
constexpr uint32_t UPD_HDOP = 0x1000;

constexpr int GPS_LINE_SIZE = 1024;
constexpr int GPS_SAT_COUNT = 12;
// Input handled by one tick at most; the rest waits for the next tick, so a
// flood of bytes cannot hold up the window.
constexpr size_t GPS_TICK_BYTES = 256 * 1024;
constexpr int GPS_REOPEN_TICKS = 3;

struct GpsSatellite
{
    int32_t nFixPrn;
    int32_t nPrn;
    int32_t nElevation;
    int32_t nAzimuth;
    int32_t nSnr;
};

// The one model object: the receiver's latest fix, the satellite status, the
// sentence assembly buffer and the state of the running track log.
class CGpsTracker
{
public:
    CGpsTracker();
    virtual ~CGpsTracker();
    CGpsTracker(const CGpsTracker&) = delete;
    CGpsTracker& operator=(const CGpsTracker&) = delete;

    // Receiver link and sentence assembly (gps/). OpenPort tells the user
    // why a port fails; a port that opened and then went away is reopened by
    // PollPort, quietly, every GPS_REOPEN_TICKS ticks. ClosePort closes it
    // for good.
    bool OpenPort(const QString& strPort, int nBaudRate);
    void ClosePort();
    void PollPort();
    // The two halves of PollPort, for replaying bytes that come from elsewhere
    // (a capture file) through the same assembly: BeginTick counts the second
    // and clears the per-tick fields, AssembleBytes handles bytes in order
    // exactly as the drain of the port does.
    void BeginTick();
    void AssembleBytes(const char* pData, size_t nLength);
    void ProcessSentence(QStringView line);
    uint32_t DecodeField(QStringView field, int nCode);

    // Recording and log files (track/).
    bool StoreTrackPoint();
    bool StartLog();
    bool EndLog();
    void SetPlacemark(const QString& strName);

    int32_t m_nLineLen = 0;
    char m_szLine[GPS_LINE_SIZE] = {};
    std::unique_ptr<CReceiverPort> m_hPort;  // null: no port open
    QString m_strReopenPort;                 // reopened when lost; empty: none
    int32_t m_nReopenBaudRate = 0;
    int32_t m_nReopenTicks = 0;
    std::unique_ptr<CLogFile> m_hLogFile;    // null: not logging
    QString m_strLogBase;
    bool m_bLogStartFailShown = false;       // said, and no log started since
    int32_t m_nLogPoints = 0;
    uint32_t m_nUpdateFlags = 0;
    int32_t m_nSecsSinceLog = 0;
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
    char m_chGsaMode = 0;
    int8_t m_nGsaFixType = 0;
    float m_fPdop = 0;
    float m_fGsaHdop = 0;
    float m_fVdop = 0;
    int8_t m_nGsvMessages = 0;
    int8_t m_nGsvMessage = 0;
    int8_t m_nSatsInView = 0;
    GpsSatellite m_aSats[GPS_SAT_COUNT] = {};
};
