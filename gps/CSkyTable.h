#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <vector>

// The satellite systems a receiver reports on; Combined holds the GN
// talker's pages and used lists that name no system of their own.
enum class ESkySystem : uint8_t {
    Gps,
    Glonass,
    Galileo,
    BeiDou,
    Qzss,
    NavIc,
    Combined,
};

constexpr size_t SKY_SYSTEM_COUNT = 7;
constexpr int SKY_PAGE_SATS = 4;            // satellites on one GSV page
constexpr size_t SKY_MAX_SYSTEM_SATS = 64;  // more than any system has in view
constexpr size_t SKY_LINE_USED = 12;        // used PRNs a GSA line holds

struct SkySatellite
{
    ESkySystem eSystem = ESkySystem::Gps;
    int32_t nPrn = 0;
    int32_t nElevation = 0;
    int32_t nAzimuth = 0;
    int32_t nSnr = 0;
    bool bUsed = false;
};

// The columns of a satellite on a GSV page, in the order of its fields.
enum class ESkyColumn : uint8_t { Prn, Elevation, Azimuth, Snr };

// The sky of every system at once. The tracker record's 12 entries hold
// whatever GSV pages came last, of any talker, so a GLONASS cycle overwrites
// the GPS one; here each system keeps its own satellites, from its own GSV
// cycles (one per signal on receivers that report several, merged by PRN),
// and its own used PRNs, from GSA lines of its system (the system id of
// NMEA 4.10, else the talker). The decoder fills the table a line at a time:
// BeginLine, the values of the fields, EndLine.
class CSkyTable
{
public:
    // The line's talker picks its system.
    void BeginLine(QStringView line);
    void SetPageCount(int nMessages);
    void SetPageNumber(int nMessage);
    // One value of satellite nSlot (0 to 3) of the page.
    void SetPageValue(int nSlot, ESkyColumn eColumn, int32_t nValue);
    void SetSignal(int nSignal);
    void BeginUsedList();
    void AddUsed(int32_t nPrn);
    // The GSA system id, field 18; anything but a whole number 1 to 6 leaves
    // the talker's system.
    void SetUsedSystem(QStringView field);
    // The number of fields tells whether a GSV page ends in a signal id
    // (NMEA 4.10), which then stands where a PRN would.
    void EndLine(int nFields);

    // Every satellite in view, system by system, each marked used when a
    // GSA of its system (or one of the GN talker without a system id) lists
    // its PRN.
    std::vector<SkySatellite> InView() const;

private:
    struct CSystemSky
    {
        std::vector<SkySatellite> m_shown;      // the last complete cycle
        std::vector<SkySatellite> m_building;   // the cycle arriving
        uint32_t m_nSignals = 0;                // signals merged into m_building
        std::vector<int32_t> m_used;
    };

    // One line as it is decoded, applied at its end.
    struct CLine
    {
        bool bKnownTalker = false;
        ESkySystem eSystem = ESkySystem::Gps;
        bool bPage = false;
        int nMessages = 0;
        int nMessage = 0;
        int32_t nSignal = 0;
        std::array<SkySatellite, SKY_PAGE_SATS> aSats{};
        std::array<uint8_t, SKY_PAGE_SATS> anColumns{};   // bit per ESkyColumn read
        bool bUsedList = false;
        std::array<int32_t, SKY_LINE_USED> anUsed{};
        size_t nUsed = 0;
    };

    CSystemSky& System(ESkySystem eSystem) { return m_aSystems[size_t(eSystem)]; }
    void EndPage(int nFields);
    void EndUsedList();

    std::array<CSystemSky, SKY_SYSTEM_COUNT> m_aSystems;
    CLine m_line;
    bool m_bAfterUsedList = false;   // the line before was a GSA
    ESkySystem m_eLastUsedSystem = ESkySystem::Gps;
};

// The name a satellite is labelled with: its PRN, after the letter of its
// system for all but GPS and the combined pages (R GLONASS, E Galileo,
// C BeiDou, J QZSS, I NavIC), as systems number their satellites alike.
QString SkySatelliteName(const SkySatellite& sat);
