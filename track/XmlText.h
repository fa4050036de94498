#pragma once

#include <QString>
#include <string>

// Text pieces of the XML documents written from the track (KML, GPX).

// Appends text as XML character data in UTF-8: the five special characters
// become entities and characters XML does not allow become '?'.
void AppendXmlText(std::string& strOut, const QString& strText);

// Appends a number as "%f" writes it (fixed, six decimals); a value that is
// not finite is written as 0.
void AppendFixed(std::string& strOut, double dValue);

// Appends an integer as "%d" writes it, or as "%02d" with bTwoDigits.
void AppendInt(std::string& strOut, int nValue, bool bTwoDigits = false);
