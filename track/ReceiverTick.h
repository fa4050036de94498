#pragma once

// The receiver half of the one-second timer tick, shared by the window and
// the headless logger: poll the port, then, when the tick decoded both halves
// of the position, the recording decision (which may store a point and write
// it to the log). True when the position was valid.
bool RunReceiverTick();
