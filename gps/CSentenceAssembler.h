#pragma once

#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <functional>

constexpr int GPS_LINE_SIZE = 1024;

// Gathers the receiver's bytes into lines: "$" starts a line afresh, a line
// feed completes it, and a line longer than the buffer is dropped whole.
class CSentenceAssembler
{
public:
    // Handles bytes in order, handing each completed line (without its line
    // feed, each byte as the character of the same code) to onLine.
    void Feed(const char* pData, size_t nLength, const std::function<void(QStringView line)>& onLine);

    // Forgets a partial line, as when the port is opened again.
    void Reset() { m_nLineLen = 0; }

    int32_t m_nLineLen = 0;
    char m_szLine[GPS_LINE_SIZE] = {};
};
