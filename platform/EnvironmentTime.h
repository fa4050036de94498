#pragma once

// A time in milliseconds that the environment may replace: the value of
// szName when it is a whole number from 1, else nDefault. Tests shorten a
// program's waits this way without touching its defaults.
int MillisecondsFromEnvironment(const char* szName, int nDefault);
