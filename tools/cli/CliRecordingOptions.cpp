#include "tools/cli/CliRecordingOptions.h"

#include "gps/TrackerSettings.h"

namespace {

constexpr int REC_MAX_DILUTION = 1000000;

}

std::vector<CliOption> CliRecordingOptions::Options(std::vector<CliOption> own)
{
    own.push_back(CliInt("--utc", "H", SETTINGS_UTC_MIN, SETTINGS_UTC_MAX, nUtc));
    own.push_back(CliInt("--max-dilution", "TENTHS", 0, REC_MAX_DILUTION, nDilution));
    own.push_back(CliFlag("--kml-speed", bKmlSpeed));
    return own;
}

void CliRecordingOptions::Apply(CTrackerSettings& settings) const
{
    if (nUtc)
        settings.m_nUtcCorrection = *nUtc;
    if (nDilution)
        settings.m_nMaxDilution = *nDilution;
    if (bKmlSpeed)
        settings.m_bKmlAltitude = 1;
}
