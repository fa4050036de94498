#pragma once

#include <QString>

// printf-style formatting with the C library's own rules, so every number the
// program shows or writes rounds the same way (1.25 with "%.1f" gives 1.2),
// and with a decimal point whatever the user's locale.
// The format is UTF-8 ("\u00B0" may stand in it); so are %s arguments.
QString FormatText(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));

// The system's text for an error number ("Permission denied"), untranslated
// whatever locale the user runs the program under.
QString SystemErrorText(int nErrno);
