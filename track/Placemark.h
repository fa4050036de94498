#pragma once

#include <QString>

class CGpsTracker;

// The name the Set placemark dialog proposes: "Wayfen Log" with the date and
// time of the last decoded fix (hour padded with a space).
QString ProposedPlacemarkName(const CGpsTracker& tracker);
