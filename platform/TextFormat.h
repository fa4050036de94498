#pragma once

#include <QString>

#include <string>
#include <string_view>

// printf-style formatting with the C library's own rules, so every number the
// program shows or writes rounds the same way (1.25 with "%.1f" gives 1.2),
// and with a decimal point whatever the user's locale.
// The format is UTF-8 ("\u00B0" may stand in it); so are %s arguments.
QString FormatText(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));

// The system's text for an error number ("Permission denied"), untranslated
// whatever locale the user runs the program under.
QString SystemErrorText(int nErrno);

// A text from a file, a name or a setting, made safe to print: every control
// character (C0, DEL and C1) and every byte that is not UTF-8 as \xNN (its
// byte, or its code point for C1), a backslash as \\, all else as it is. A
// file name holding ESC must not drive the user's terminal, and a name with
// a line break must not read as two lines.
std::string EscapedText(std::string_view text);
std::string EscapedText(const QString& strText);
inline std::string EscapedText(const char* szText)
{
    return EscapedText(std::string_view(szText));
}
