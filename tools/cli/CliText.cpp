#include "tools/cli/CliText.h"

#include "platform/Outcome.h"

#include <cstdio>

void AppendEscapedText(std::string& out, const char* pText, size_t nLength)
{
    for (size_t i = 0; i < nLength; ++i) {
        const auto ch = static_cast<unsigned char>(pText[i]);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20 || ch >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", ch);
            out += escape;
        } else {
            out += static_cast<char>(ch);
        }
    }
}

bool CliReport(const char* szCommand, const COutcome& outcome)
{
    if (!outcome)
        std::fprintf(stderr, "veltrip-cli %s: %s\n", szCommand, qPrintable(outcome.m_strMessage));
    return outcome.IsOk();
}

bool CliShowMessage(const COutcome& outcome)
{
    if (!outcome)
        std::fprintf(stderr, "veltrip: %s\n", outcome.m_strMessage.toLocal8Bit().constData());
    return outcome.IsOk();
}
