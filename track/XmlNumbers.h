#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Values of GPX and KML text, read from the file's UTF-8 bytes without a
// string per value: a track has several per point.

// White space as XML has it.
inline bool IsXmlSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

// An xsd:double with white space around it ("52.5", "+1e3", "NaN"),
// infinite for one too large for a double ("1e400", "INF"); nothing for
// anything else, whatever the user's locale. Callers decide which values a
// track can hold.
std::optional<double> XmlNumber(std::string_view text);

// An xsd:dateTime ("2026-12-07T15:08:03Z", with an optional fraction, which
// is dropped, and zone offset) as UTC seconds since 1970; nothing for a date
// alone. A date no calendar has (month 13) gives a time before 1970 that
// still has the right time of day.
std::optional<int64_t> XmlUtcTime(std::string_view text);
