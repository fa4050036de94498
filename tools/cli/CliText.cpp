#include "tools/cli/CliText.h"

#include "platform/Outcome.h"
#include "platform/TextFormat.h"

#include <QString>

#include <cstdio>

void AppendJsonText(std::string& out, const char* pText, size_t nLength)
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

void CliCannotRead(const char* szCommand, const char* szPath, const QString& strReason)
{
    std::fprintf(stderr, "veltrip-cli %s: cannot read %s: %s\n", szCommand, EscapedText(szPath).c_str(),
                 strReason.toLocal8Bit().constData());
}

std::string CliFailureText(const COutcome& outcome)
{
    QString strText = outcome.Message();
    if (strText.endsWith(QLatin1Char('\n')))
        strText.chop(1);
    if (outcome.Errno() != 0) {
        const QString strReason = SystemErrorText(outcome.Errno());
        if (!strText.contains(strReason))
            strText += QStringLiteral(": ") + strReason;
    }
    return EscapedText(strText);
}

bool CliReport(const char* szCommand, const COutcome& outcome)
{
    if (!outcome)
        std::fprintf(stderr, "veltrip-cli %s: %s\n", szCommand, CliFailureText(outcome).c_str());
    return bool(outcome);
}

bool CliShowMessage(const COutcome& outcome)
{
    if (!outcome)
        std::fprintf(stderr, "veltrip: %s\n", CliFailureText(outcome).c_str());
    return bool(outcome);
}
