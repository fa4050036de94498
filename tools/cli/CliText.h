#pragma once

#include <cstddef>
#include <string>

class COutcome;
class QString;

// Appends bytes, each a character of Latin-1, as the inside of a JSON
// string: quote and backslash escaped, control bytes and the upper half of
// the byte range as \uXXXX, as JSON writes them, so the records stay ASCII
// and no byte of a file can act on the terminal. Plain texts go through
// EscapedText (platform/TextFormat.h).
void AppendJsonText(std::string& out, const char* pText, size_t nLength);

// Prints "veltrip-cli COMMAND: cannot read PATH: REASON" on stderr, the path
// escaped (EscapedText).
void CliCannotRead(const char* szCommand, const char* szPath, const QString& strReason);

// The message of a failure as the tools print it: escaped by EscapedText (it
// may hold a path), without the final line break a message box would not show, and
// followed by ": " and the system's reason where there is one that the
// message does not already give ("Fail in file open: Permission denied").
std::string CliFailureText(const COutcome& outcome);

// Prints a failure as "veltrip-cli COMMAND: " and its text on stderr; true
// when the outcome was a success.
bool CliReport(const char* szCommand, const COutcome& outcome);

// Prints the program's own message of a failure as the window would show it,
// "veltrip: " and its text on stderr; true when the outcome was a success.
bool CliShowMessage(const COutcome& outcome);
