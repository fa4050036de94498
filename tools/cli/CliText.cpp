#include "tools/cli/CliText.h"

#include "platform/Outcome.h"

#include <QString>

#include <cstdio>
#include <cstring>

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

std::string CliEscaped(const char* szText)
{
    std::string out;
    AppendEscapedText(out, szText, std::strlen(szText));
    return out;
}

std::string CliEscaped(const QString& strText)
{
    const QByteArray bytes = strText.toLocal8Bit();
    std::string out;
    AppendEscapedText(out, bytes.constData(), size_t(bytes.size()));
    return out;
}

bool CliReport(const char* szCommand, const COutcome& outcome)
{
    if (!outcome)
        std::fprintf(stderr, "veltrip-cli %s: %s\n", szCommand, CliEscaped(outcome.m_strMessage).c_str());
    return outcome.IsOk();
}

bool CliShowMessage(const COutcome& outcome)
{
    // A message box shows no final line break; escaped it would show.
    QString strMessage = outcome.m_strMessage;
    if (strMessage.endsWith(QLatin1Char('\n')))
        strMessage.chop(1);
    if (!outcome)
        std::fprintf(stderr, "veltrip: %s\n", CliEscaped(strMessage).c_str());
    return outcome.IsOk();
}
