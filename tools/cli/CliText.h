#pragma once

#include <cstddef>
#include <string>

class COutcome;
class QString;

// Appends bytes as the commands print text taken from files: quote and
// backslash escaped, control bytes and the upper half of the byte range as
// \uXXXX, so no byte of a file can act on the terminal and the output stays
// ASCII.
void AppendEscapedText(std::string& out, const char* pText, size_t nLength);

// A path or argument escaped as above, ready for "%s": a file name is bytes
// the user did not necessarily choose.
std::string CliEscaped(const char* szText);
std::string CliEscaped(const QString& strText);

// Prints a failure as "veltrip-cli COMMAND: message" on stderr, the message
// escaped (it may hold a path); true when the outcome was a success.
bool CliReport(const char* szCommand, const COutcome& outcome);

// Prints the program's own message of a failure as the window would show it,
// "veltrip: message" on stderr, escaped; true when the outcome was a success.
bool CliShowMessage(const COutcome& outcome);
