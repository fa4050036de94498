#include "tools/cli/CliRecordingOptions.h"

#include "app/CTrackerApp.h"

namespace {

constexpr int REC_MAX_UTC = 12;
constexpr int REC_MAX_DILUTION = 1000000;

}

std::vector<CliOption> CliRecordingOptions::Options(std::vector<CliOption> own)
{
    own.push_back(CliInt("--utc", "H", -REC_MAX_UTC, REC_MAX_UTC, nUtc));
    own.push_back(CliInt("--max-dilution", "TENTHS", 0, REC_MAX_DILUTION, nDilution));
    own.push_back(CliFlag("--kml-speed", bKmlSpeed));
    return own;
}

void CliRecordingOptions::Apply() const
{
    if (nUtc)
        theApp.m_nUtcCorrection = *nUtc;
    if (nDilution) {
        theApp.m_nMaxDilution = *nDilution;
        theApp.m_dMaxDilution = *nDilution * 0.1;
    }
    if (bKmlSpeed)
        theApp.m_bKmlAltitude = 1;
}
