#include "track/XmlNumbers.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <iterator>

namespace {

constexpr int64_t XML_DAY_SECONDS = 24 * 3600;
// The day of a time whose date is none: before 1970, and a whole number of
// days so that the time of day stays.
constexpr int64_t XML_NO_DATE_DAY = -1000000;
constexpr size_t XML_MAX_YEAR_DIGITS = 5;

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads nDigits digits at pos, moving pos on; -1 when they are not there.
int Digits(std::string_view text, size_t& pos, int nDigits)
{
    int nValue = 0;
    for (int i = 0; i < nDigits; ++i, ++pos) {
        if (pos >= text.size() || !IsDigit(text[pos]))
            return -1;
        nValue = nValue * 10 + (text[pos] - '0');
    }
    return nValue;
}

bool Skip(std::string_view text, size_t& pos, char ch)
{
    if (pos >= text.size() || text[pos] != ch)
        return false;
    ++pos;
    return true;
}

size_t SkipDigits(std::string_view text, size_t pos)
{
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    return pos;
}

// Powers of ten a double holds exactly.
constexpr double XML_EXACT_POWERS[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr uint64_t XML_EXACT_MANTISSA = uint64_t{1} << 53;
constexpr size_t XML_MAX_FAST_DIGITS = 19;   // fewer than a uint64_t overflows at

// Appends the digits from p on to nDigits (wrapping past a uint64_t's, which
// the caller refuses by their count); returns the end of the digits.
const char* AddDigits(const char* p, const char* pEnd, uint64_t& nDigits)
{
    uint64_t n = nDigits;
    for (; p < pEnd && IsDigit(*p); ++p)
        n = n * 10 + uint64_t(*p - '0');
    nDigits = n;
    return p;
}

// A plain decimal ("52.000061", "-0.5") of few digits, as tracks write them
// three times a point: its digits as one integer divided by a power of ten,
// both exact in a double, so the one rounding of the division gives the
// nearest double, as from_chars does. Nothing for any other text.
std::optional<double> PlainDecimal(std::string_view text)
{
    const bool bNegative = text.starts_with('-');
    const char* p = text.data() + (bNegative ? 1 : 0);
    const char* const pEnd = text.data() + text.size();
    uint64_t nDigits = 0;
    const char* const pWhole = p;
    p = AddDigits(p, pEnd, nDigits);
    const auto nWhole = size_t(p - pWhole);
    const bool bPoint = p < pEnd && *p == '.';
    p += bPoint ? 1 : 0;
    const char* const pFraction = p;
    p = AddDigits(p, pEnd, nDigits);
    const auto nFraction = size_t(p - pFraction);
    if (p != pEnd || nWhole + nFraction == 0 || nWhole + nFraction > XML_MAX_FAST_DIGITS
        || nDigits > XML_EXACT_MANTISSA || nFraction >= std::size(XML_EXACT_POWERS))
        return std::nullopt;
    const double dValue = double(nDigits) / XML_EXACT_POWERS[nFraction];
    return bNegative ? -dValue : dValue;
}

}

std::optional<double> XmlNumber(std::string_view text)
{
    text = Trimmed(text);
    // from_chars takes no plus sign, and a second sign after one is no number.
    if (text.starts_with('+') && text.size() > 1 && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    if (const std::optional<double> dPlain = PlainDecimal(text))
        return dPlain;
    double dValue = 0;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), dValue);
    if (result.ptr != text.data() + text.size())
        return std::nullopt;
    if (result.ec == std::errc::result_out_of_range) {
        // Too large for a double is infinite; too small, zero.
        const size_t nExponent = text.find_first_of("eE");
        const bool bTiny = nExponent != std::string_view::npos && text.substr(nExponent + 1).starts_with('-');
        const double dHuge = text.starts_with('-') ? -HUGE_VAL : HUGE_VAL;
        return bTiny ? 0.0 : dHuge;
    }
    if (result.ec != std::errc())
        return std::nullopt;
    return dValue;
}

std::optional<int64_t> XmlUtcTime(std::string_view text)
{
    text = Trimmed(text);
    const bool bNegativeYear = text.starts_with('-');
    size_t pos = bNegativeYear ? 1 : 0;
    const size_t nYearStart = pos;
    pos = SkipDigits(text, pos);
    if (pos - nYearStart < 4)
        return std::nullopt;
    // A year of more digits than a calendar takes is no date (see below).
    const bool bLongYear = pos - nYearStart > XML_MAX_YEAR_DIGITS;
    int nYear = 0;
    for (size_t i = nYearStart; i < pos && !bLongYear; ++i)
        nYear = nYear * 10 + (text[i] - '0');
    const int nMonth = Skip(text, pos, '-') ? Digits(text, pos, 2) : -1;
    const int nDay = Skip(text, pos, '-') ? Digits(text, pos, 2) : -1;
    if (nMonth < 0 || nDay < 0 || !Skip(text, pos, 'T'))
        return std::nullopt;
    const int nHour = Digits(text, pos, 2);
    const int nMinute = Skip(text, pos, ':') ? Digits(text, pos, 2) : -1;
    const int nSecond = Skip(text, pos, ':') ? Digits(text, pos, 2) : -1;
    if (nHour < 0 || nHour > 24 || nMinute < 0 || nMinute > 59 || nSecond < 0 || nSecond > 60)
        return std::nullopt;
    if (Skip(text, pos, '.')) {
        const size_t nFraction = pos;
        pos = SkipDigits(text, pos);
        if (pos == nFraction)
            return std::nullopt;
    }
    int64_t nSeconds = nHour * 3600 + nMinute * 60 + nSecond;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const int nSign = text[pos++] == '+' ? 1 : -1;
        const int nOffsetHours = Digits(text, pos, 2);
        Skip(text, pos, ':');
        const int nOffsetMinutes = Digits(text, pos, 2);
        if (nOffsetHours < 0 || nOffsetMinutes < 0)
            return std::nullopt;
        nSeconds -= nSign * (nOffsetHours * 3600 + nOffsetMinutes * 60);
    } else {
        Skip(text, pos, 'Z');
    }
    if (pos != text.size())
        return std::nullopt;
    // A date that no calendar has still gives its time of day, on a day
    // before 1970 that carries no date.
    using namespace std::chrono;
    const year_month_day date{year(bNegativeYear ? -nYear : nYear), month(unsigned(nMonth)), day(unsigned(nDay))};
    const int64_t nDays = date.ok() && !bLongYear ? int64_t{sys_days(date).time_since_epoch().count()} : XML_NO_DATE_DAY;
    return nDays * XML_DAY_SECONDS + nSeconds;
}
