#pragma once

#include <cstddef>
#include <string>

class COutcome;

// Appends bytes as the commands print text taken from files: quote and
// backslash escaped, control bytes and the upper half of the byte range as
// \uXXXX, so no byte of a file can act on the terminal and the output stays
// ASCII.
void AppendEscapedText(std::string& out, const char* pText, size_t nLength);

// Prints a failure as "veltrip-cli COMMAND: message" on stderr; true when the
// outcome was a success.
bool CliReport(const char* szCommand, const COutcome& outcome);

// Prints the program's own message of a failure as the window would show it,
// "veltrip: message" on stderr; true when the outcome was a success.
bool CliShowMessage(const COutcome& outcome);
