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
// character, whatever the talker; None when the line is ignored.
NmeaSentence RecogniseSentence(QStringView line);
