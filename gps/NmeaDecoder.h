#pragma once

#include <QStringView>
#include <cstdint>
#include <span>

class CGpsTracker;

// One sentence kind the decoder knows, a row of its table (NmeaDecoder.cpp):
// the three-letter code that names it whatever the talker, and the field code
// of field 1, 2, ... (fields past the end are ignored).
struct NmeaSentenceKind
{
    char16_t szCode[4];
    std::span<const int> fieldCodes;
};

// The kind a line is decoded as: of the table's codes, in the table's order,
// the first whose first occurrence in the line is past its first character;
// nullptr when the line is ignored, as is one that does not start with "$"
// or whose checksum is wrong.
const NmeaSentenceKind* RecogniseSentence(QStringView line);

// True when the line, less a trailing CR, ends in "*" and two hexadecimal
// digits (either case) that differ from the XOR of the characters between
// its first character and that "*". A dropped or garbled byte would shift
// the fields and store a wrong position. Lines without the suffix pass.
bool HasWrongChecksum(QStringView line);
// True only when the line carries that suffix and it matches: a receiver
// found by listening has to prove itself.
bool HasRightChecksum(QStringView line);

// Decodes one complete line into the tracker record, field by field with the
// codes of its kind, ORing the bits earned into m_nUpdateFlags; times are
// shifted by nUtcCorrection hours. Lines of no known kind change nothing.
// Free functions rather than members: the record holds the values, the
// decoder and its tables live together here.
void ProcessSentence(CGpsTracker& tracker, QStringView line, int nUtcCorrection);

// The action of one field code on one field's text; returns the update bits
// the field earned. An empty field, and a code without an action, do nothing.
uint32_t DecodeField(CGpsTracker& tracker, QStringView field, int nCode, int nUtcCorrection);
