#pragma once

#include <QStringView>

// The sentence types the decoder knows. CGpsTracker::ProcessSentence and
// DecodeField (NmeaDecoder.cpp) decode them with one field-code table each.
enum class NmeaSentence
{
    None,
    Rmc,
    Gga,
    Gsv,
    Gsa,
};

// Which table a line is decoded with: the first of "RMC", "GGA", "GSV", "GSA"
// (in that order) whose first occurrence in the line is past its first
// character, whatever the talker; None when the line is ignored, as is a
// line whose checksum is wrong.
NmeaSentence RecogniseSentence(QStringView line);

// True when the line, less a trailing CR, ends in "*" and two hexadecimal
// digits (either case) that differ from the XOR of the characters between
// its first character and that "*". A dropped or garbled byte would shift
// the fields and store a wrong position. Lines without the suffix pass.
bool HasWrongChecksum(QStringView line);
