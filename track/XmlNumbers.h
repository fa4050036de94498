#pragma once

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

// Seconds of the UTC day of an xsd:dateTime ("2026-12-07T15:08:03Z", with an
// optional fraction and zone offset); nothing for a date alone.
std::optional<int> XmlUtcSeconds(std::string_view text);
