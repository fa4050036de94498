#pragma once

// SIGTERM, SIGINT and SIGHUP end the program the orderly way: the event loop
// (and any dialog's nested loop) ends, and shut-down closes a running log
// with its KML copy.
void InstallExitSignals();

// True once such a signal has arrived.
bool ExitRequested();
