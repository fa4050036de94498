#pragma once

// Keeps the screen from blanking while the program runs, once per timer tick.
// On a desktop with the freedesktop screen saver service on the session bus
// the first call asks it to inhibit blanking for the life of the process (the
// bus drops the request when the program ends); elsewhere it does nothing.
void ResetIdleTimer();
