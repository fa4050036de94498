#pragma once

#include "tools/cli/CliArgs.h"

#include <optional>
#include <vector>

struct CTrackerSettings;

// The recording settings that record and log take on the command line, over
// the stored settings: --utc H (-12 to 12, as GPS Setup allows),
// --max-dilution TENTHS and --kml-speed.
struct CliRecordingOptions
{
    std::optional<int> nUtc;
    std::optional<int> nDilution;
    bool bKmlSpeed = false;

    // The three options, after the command's own.
    std::vector<CliOption> Options(std::vector<CliOption> own);
    // Puts the options given into the settings.
    void Apply(CTrackerSettings& settings) const;
};
