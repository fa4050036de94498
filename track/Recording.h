#pragma once

// The recording step of one timer tick, run after the poll: when this tick
// decoded both halves of the position and a point is due (by the interval
// for the speed, or a turn while moving), stores it with StoreTrackPoint,
// which starts a log first when none is open.
void CheckRecordPoint();
