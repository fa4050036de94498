#include "gps/CSkyTable.h"

#include <algorithm>
#include <iterator>

namespace {

// The systems: the talkers that send their sentences, the system id a GSA
// of NMEA 4.10 names them by (0: none), and the letter of their satellites'
// names. One row per ESkySystem, in its order.
struct SkySystemRow
{
    ESkySystem eSystem;
    char16_t aszTalkers[2][3];
    int nSystemId;
    char16_t chLetter;
};

constexpr SkySystemRow SKY_SYSTEMS[] = {
    {ESkySystem::Gps, {u"GP", u""}, 1, 0},
    {ESkySystem::Glonass, {u"GL", u""}, 2, u'R'},
    {ESkySystem::Galileo, {u"GA", u""}, 3, u'E'},
    {ESkySystem::BeiDou, {u"GB", u"BD"}, 4, u'C'},
    {ESkySystem::Qzss, {u"GQ", u""}, 5, u'J'},
    {ESkySystem::NavIc, {u"GI", u""}, 6, u'I'},
    {ESkySystem::Combined, {u"GN", u""}, 0, 0},
};
static_assert(std::size(SKY_SYSTEMS) == SKY_SYSTEM_COUNT);

constexpr qsizetype SKY_TALKER_LENGTH = 2;
constexpr int SKY_PAGE_HEADER_FIELDS = 3;   // messages, message number, satellites in view
constexpr int SKY_MAX_SIGNAL_BIT = 31;
constexpr qsizetype SKY_SYSTEM_ID_DIGITS = 2;

// The system of a talker of two characters.
const SkySystemRow* TalkerSystem(QStringView talker)
{
    for (const SkySystemRow& row : SKY_SYSTEMS) {
        for (const char16_t* szTalker : row.aszTalkers) {
            // Every line asks: two characters compared in place.
            if (szTalker[0] && std::equal(szTalker, szTalker + SKY_TALKER_LENGTH, talker.utf16()))
                return &row;
        }
    }
    return nullptr;
}

bool Lists(const std::vector<int32_t>& prns, int32_t nPrn)
{
    return std::find(prns.begin(), prns.end(), nPrn) != prns.end();
}

// The field of a value on a page: the header, then four per satellite.
int PageField(int nSlot, ESkyColumn eColumn)
{
    return SKY_PAGE_HEADER_FIELDS + 1 + SKY_PAGE_SATS * nSlot + int(eColumn);
}

}

void CSkyTable::BeginLine(QStringView line)
{
    m_line = CLine{};
    const SkySystemRow* pRow = line.size() > SKY_TALKER_LENGTH ? TalkerSystem(line.sliced(1, SKY_TALKER_LENGTH)) : nullptr;
    m_line.bKnownTalker = pRow != nullptr;
    m_line.eSystem = pRow ? pRow->eSystem : ESkySystem::Gps;
}

void CSkyTable::SetPageCount(int nMessages)
{
    m_line.bPage = true;
    m_line.nMessages = nMessages;
}

void CSkyTable::SetPageNumber(int nMessage)
{
    m_line.bPage = true;
    m_line.nMessage = nMessage;
}

void CSkyTable::SetPageValue(int nSlot, ESkyColumn eColumn, int32_t nValue)
{
    if (nSlot < 0 || nSlot >= SKY_PAGE_SATS)
        return;
    SkySatellite& sat = m_line.aSats[size_t(nSlot)];
    static constexpr int32_t SkySatellite::*COLUMNS[] = {&SkySatellite::nPrn, &SkySatellite::nElevation,
                                                          &SkySatellite::nAzimuth, &SkySatellite::nSnr};
    sat.*COLUMNS[size_t(eColumn)] = nValue;
    m_line.anColumns[size_t(nSlot)] |= uint8_t(1u << unsigned(eColumn));
}

void CSkyTable::SetSignal(int nSignal)
{
    m_line.nSignal = std::clamp(nSignal, 0, SKY_MAX_SIGNAL_BIT);
}

void CSkyTable::BeginUsedList()
{
    m_line.bUsedList = true;
    m_line.nUsed = 0;
}

void CSkyTable::AddUsed(int32_t nPrn)
{
    if (m_line.bUsedList && nPrn > 0 && m_line.nUsed < SKY_LINE_USED)
        m_line.anUsed[m_line.nUsed++] = nPrn;
}

void CSkyTable::SetUsedSystem(QStringView field)
{
    int nId = 0;
    qsizetype i = 0;
    for (; i < field.size() && i < SKY_SYSTEM_ID_DIGITS && field[i] >= u'0' && field[i] <= u'9'; ++i)
        nId = nId * 10 + (field[i].unicode() - u'0');
    // The checksum and the line's end may follow; a fraction is no system id.
    if (i == 0 || (i < field.size() && field[i] != u'*' && field[i] != u'\r'))
        return;
    for (const SkySystemRow& row : SKY_SYSTEMS) {
        if (row.nSystemId != 0 && row.nSystemId == nId)
            m_line.eSystem = row.eSystem;
    }
}

void CSkyTable::EndLine(int nFields)
{
    const bool bUsedList = m_line.bKnownTalker && m_line.bUsedList;
    if (bUsedList)
        EndUsedList();
    else if (m_line.bKnownTalker && m_line.bPage)
        EndPage(nFields);
    m_bAfterUsedList = bUsedList;
}

// Receivers send one GSA per system, back to back, and a system with more
// used satellites than a line holds goes on in the next: a GSA replaces its
// system's list unless the line before was a GSA of the same system. That
// also gathers the GN lines of NMEA 4.0, one per system without an id.
void CSkyTable::EndUsedList()
{
    CSystemSky& sky = System(m_line.eSystem);
    if (!m_bAfterUsedList || m_eLastUsedSystem != m_line.eSystem)
        sky.m_used.clear();
    for (size_t i = 0; i < m_line.nUsed && sky.m_used.size() < SKY_MAX_SYSTEM_SATS; ++i)
        sky.m_used.push_back(m_line.anUsed[i]);
    m_eLastUsedSystem = m_line.eSystem;
}

// A cycle of pages starts at message 1. A receiver that reports several
// signals sends a cycle per signal, the same satellites again: those merge,
// and a first page of a signal already merged starts the next epoch. The
// satellites shown change when a cycle ends, or when the next one starts
// without the last page of this one.
void CSkyTable::EndPage(int nFields)
{
    if (m_line.nMessage < 1)
        return;
    // A page of n satellites has 3 + 4n fields; one more is the signal id,
    // read as the PRN of a satellite n + 1 unless the page is full.
    const bool bSignalLast = nFields > SKY_PAGE_HEADER_FIELDS && (nFields - SKY_PAGE_HEADER_FIELDS) % SKY_PAGE_SATS == 1;
    if (bSignalLast && nFields < PageField(SKY_PAGE_SATS, ESkyColumn::Prn)) {
        const auto nSlot = size_t((nFields - SKY_PAGE_HEADER_FIELDS - 1) / SKY_PAGE_SATS);
        if (m_line.anColumns[nSlot] & (1u << unsigned(ESkyColumn::Prn)))
            SetSignal(m_line.aSats[nSlot].nPrn);
        m_line.anColumns[nSlot] = 0;
    }
    CSystemSky& sky = System(m_line.eSystem);
    const uint32_t nSignalBit = 1u << unsigned(m_line.nSignal);
    if (m_line.nMessage == 1) {
        if (sky.m_nSignals & nSignalBit) {
            sky.m_shown = sky.m_building;
            sky.m_building.clear();
            sky.m_nSignals = 0;
        }
        sky.m_nSignals |= nSignalBit;
    }
    for (size_t nSlot = 0; nSlot < SKY_PAGE_SATS; ++nSlot) {
        const SkySatellite& page = m_line.aSats[nSlot];
        const uint8_t nColumns = m_line.anColumns[nSlot];
        if (!(nColumns & (1u << unsigned(ESkyColumn::Prn))) || page.nPrn <= 0)
            continue;
        auto it = std::find_if(sky.m_building.begin(), sky.m_building.end(),
                               [&page](const SkySatellite& sat) { return sat.nPrn == page.nPrn; });
        if (it == sky.m_building.end()) {
            if (sky.m_building.size() >= SKY_MAX_SYSTEM_SATS)
                continue;
            it = sky.m_building.insert(it, SkySatellite{m_line.eSystem, page.nPrn});
        }
        if (nColumns & (1u << unsigned(ESkyColumn::Elevation)))
            it->nElevation = page.nElevation;
        if (nColumns & (1u << unsigned(ESkyColumn::Azimuth)))
            it->nAzimuth = page.nAzimuth;
        if (nColumns & (1u << unsigned(ESkyColumn::Snr)))
            it->nSnr = std::max(it->nSnr, page.nSnr);   // the strongest of its signals
    }
    if (m_line.nMessage >= m_line.nMessages)
        sky.m_shown = sky.m_building;
}

std::vector<SkySatellite> CSkyTable::InView() const
{
    const std::vector<int32_t>& combinedUsed = m_aSystems[size_t(ESkySystem::Combined)].m_used;
    std::vector<SkySatellite> sats;
    for (const CSystemSky& sky : m_aSystems) {
        for (SkySatellite sat : sky.m_shown) {
            // Pages of the GN talker name no system: any list may hold them.
            sat.bUsed = Lists(sky.m_used, sat.nPrn) || Lists(combinedUsed, sat.nPrn)
                        || (sat.eSystem == ESkySystem::Combined
                            && std::any_of(m_aSystems.begin(), m_aSystems.end(), [&sat](const CSystemSky& other) {
                                   return Lists(other.m_used, sat.nPrn);
                               }));
            sats.push_back(sat);
        }
    }
    return sats;
}

QString SkySatelliteName(const SkySatellite& sat)
{
    const char16_t chLetter = SKY_SYSTEMS[size_t(sat.eSystem)].chLetter;
    const QString strNumber = QString::number(sat.nPrn);
    return chLetter ? QChar(chLetter) + strNumber : strNumber;
}
