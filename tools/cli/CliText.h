#pragma once

#include <cstddef>
#include <string>

// Appends bytes as the commands print text taken from files: quote and
// backslash escaped, control bytes and the upper half of the byte range as
// \uXXXX, so no byte of a file can act on the terminal and the output stays
// ASCII.
void AppendEscapedText(std::string& out, const char* pText, size_t nLength);
