#pragma once

#include <QByteArray>

// The fix time of an RMC or GGA line in seconds of the day, for pacing a
// replayed capture; false for any other line or an unreadable time.
bool SimFixTime(const QByteArray& line, double& dSeconds);

// Seconds to wait between two fix times at the given speed-up. A time that
// runs backwards is taken as midnight passing; a gap of more than an hour
// (a new recording appended to the capture) counts as one second.
double SimReplayDelay(double dPrevious, double dNext, double dRate);
