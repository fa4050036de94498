#include "track/Destination.h"

#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double GOTO_MIN_MOVING_KNOTS = 1.0;
constexpr double GOTO_METERS_PER_KNOT_SECOND = 1852.0 / 3600.0;
constexpr double GOTO_KM_BELOW = 999.5;             // metres that still round below "1000 m"
constexpr double GOTO_WHOLE_KM_FROM = 99950.0;      // where "100.0 km" would begin
constexpr int GOTO_MAX_NUMBER_CHARS = 24;
constexpr double GOTO_MINUTES_PER_DEGREE = 60.0;

const QString MSG_COORD_EMPTY = QStringLiteral("Type a place, for example 52.0907 5.1214");
const QString MSG_COORD_FORM = QStringLiteral(
    "Not understood: type latitude and longitude, for example 52.0907 5.1214 or N 52 05.443 E 5 07.284");
const QString MSG_COORD_LETTERS = QStringLiteral("Give one latitude (N or S) and one longitude (E or W)");
const QString MSG_COORD_SIXTY = QStringLiteral("Minutes and seconds lie below 60");
const QString MSG_COORD_LATITUDE = QStringLiteral("Latitude lies between 90 S and 90 N");
const QString MSG_COORD_LONGITUDE = QStringLiteral("Longitude lies between 180 W and 180 E");

enum class EUnit
{
    None,
    Degrees,
    Minutes,
    Seconds,
};

enum class EToken
{
    Number,
    Hemisphere,
    Comma,
};

struct CToken
{
    EToken eKind;
    double dValue = 0;
    bool bNegative = false;
    bool bFraction = false;
    EUnit eUnit = EUnit::None;
    char cHemisphere = 0;   // 'N', 'S', 'E' or 'W'
};

// The marks that may follow a number: degrees, minutes, seconds in their
// keyboard and typographic forms ('' is seconds too).
EUnit UnitOf(QChar ch)
{
    switch (ch.unicode()) {
    case u'\u00B0': case u'\u00BA':
        return EUnit::Degrees;
    case u'\'': case u'\u2032': case u'\u2019':
        return EUnit::Minutes;
    case u'"': case u'\u2033': case u'\u201D':
        return EUnit::Seconds;
    default:
        return EUnit::None;
    }
}

bool IsNumberChar(QChar ch)
{
    return (ch >= u'0' && ch <= u'9') || ch == u'.';
}

// Reads "12.5" at i; false for anything from_chars does not take whole.
bool ReadNumber(const QString& strText, qsizetype& i, CToken& token)
{
    std::string strNumber;
    while (i < strText.size() && IsNumberChar(strText[i]))
        strNumber += char(strText[i++].unicode());
    if (strNumber.size() > GOTO_MAX_NUMBER_CHARS)
        return false;
    const char* pEnd = strNumber.data() + strNumber.size();
    const auto result = std::from_chars(strNumber.data(), pEnd, token.dValue, std::chars_format::fixed);
    token.bFraction = strNumber.find('.') != std::string::npos;
    return result.ec == std::errc() && result.ptr == pEnd;
}

enum class EGoToSign
{
    None,
    Plus,
    Minus,
};

// A sign stands right before its number; a mark right after it.
bool Tokenize(const QString& strText, std::vector<CToken>& tokens)
{
    // The sign waiting for its number.
    EGoToSign eSign = EGoToSign::None;
    for (qsizetype i = 0; i < strText.size();) {
        const QChar ch = strText[i];
        if (IsNumberChar(ch)) {
            CToken token{EToken::Number};
            if (!ReadNumber(strText, i, token))
                return false;
            token.bNegative = eSign == EGoToSign::Minus;
            eSign = EGoToSign::None;
            tokens.push_back(token);
            continue;
        }
        if (eSign != EGoToSign::None)
            return false;
        const EUnit eUnit = UnitOf(ch);
        const QChar upper = ch.toUpper();
        if (ch == u'-' || ch == u'+') {
            eSign = ch == u'-' ? EGoToSign::Minus : EGoToSign::Plus;
        } else if (eUnit != EUnit::None) {
            if (tokens.empty() || tokens.back().eKind != EToken::Number)
                return false;
            CToken& number = tokens.back();
            // A second minutes' mark makes '' the seconds' mark.
            if (eUnit == EUnit::Minutes && number.eUnit == EUnit::Minutes)
                number.eUnit = EUnit::Seconds;
            else if (number.eUnit == EUnit::None)
                number.eUnit = eUnit;
            else
                return false;
        } else if (upper == u'N' || upper == u'S' || upper == u'E' || upper == u'W') {
            CToken token{EToken::Hemisphere};
            token.cHemisphere = char(upper.unicode());
            tokens.push_back(token);
        } else if (ch == u',' || ch == u';') {
            tokens.push_back({EToken::Comma});
        } else if (!ch.isSpace()) {
            return false;
        }
        ++i;
    }
    return eSign == EGoToSign::None;
}

// The numbers of one coordinate and the hemisphere letter that came with it.
struct CGroup
{
    std::vector<CToken> numbers;
    char cHemisphere = 0;
};

using CGroups = std::vector<CGroup>;

// With letters: each one starts its coordinate ("N 52 05.443") when the
// text begins with one, else ends it ("52°05'26.5\"N").
bool SplitByLetters(const std::vector<CToken>& tokens, CGroups& groups)
{
    const bool bPrefix = tokens.front().eKind == EToken::Hemisphere;
    CGroup group;
    for (const CToken& token : tokens) {
        if (token.eKind == EToken::Number)
            group.numbers.push_back(token);
        if (token.eKind != EToken::Hemisphere)
            continue;
        if (bPrefix && group.cHemisphere != 0) {
            groups.push_back(group);
            group = CGroup();
        }
        group.cHemisphere = token.cHemisphere;
        if (!bPrefix) {
            groups.push_back(group);
            group = CGroup();
        }
    }
    if (bPrefix)
        groups.push_back(group);
    return bPrefix || group.numbers.empty();
}

// Without letters: a comma parts the two, else each degrees' mark starts
// one, else the numbers fall into two equal halves.
bool SplitWithoutLetters(const std::vector<CToken>& tokens, CGroups& groups)
{
    std::vector<CToken> numbers;
    size_t nCommas = 0;
    groups.emplace_back();
    for (const CToken& token : tokens) {
        if (token.eKind == EToken::Comma) {
            ++nCommas;
            groups.emplace_back();
        } else {
            numbers.push_back(token);
            groups.back().numbers.push_back(token);
        }
    }
    if (nCommas > 0)
        return nCommas == 1;
    groups.clear();
    const bool bMarked = numbers.front().eUnit == EUnit::Degrees;
    for (size_t i = 0; bMarked && i < numbers.size(); ++i) {
        if (numbers[i].eUnit == EUnit::Degrees)
            groups.emplace_back();
        groups.back().numbers.push_back(numbers[i]);
    }
    if (bMarked)
        return true;
    if (numbers.size() % 2 != 0)
        return false;
    const auto half = numbers.begin() + ptrdiff_t(numbers.size() / 2);
    groups.push_back({std::vector<CToken>(numbers.begin(), half)});
    groups.push_back({std::vector<CToken>(half, numbers.end())});
    return true;
}

// Degrees [minutes [seconds]], only the last with a fraction, marks (when
// given) in that order.
std::optional<double> GroupDegrees(const CGroup& group, QString& strProblem)
{
    const std::vector<CToken>& numbers = group.numbers;
    strProblem = MSG_COORD_FORM;
    if (numbers.empty() || numbers.size() > 3)
        return std::nullopt;
    double dDegrees = 0;
    double dScale = 1;
    for (size_t k = 0; k < numbers.size(); ++k) {
        const CToken& number = numbers[k];
        if ((number.eUnit != EUnit::None && number.eUnit != EUnit(k + 1))
            || (number.bFraction && k + 1 < numbers.size()) || (k > 0 && number.bNegative))
            return std::nullopt;
        if (k > 0 && number.dValue >= GOTO_MINUTES_PER_DEGREE) {
            strProblem = MSG_COORD_SIXTY;
            return std::nullopt;
        }
        dDegrees += number.dValue / dScale;
        dScale *= GOTO_MINUTES_PER_DEGREE;
    }
    if (group.cHemisphere != 0 && numbers.front().bNegative) {
        strProblem = MSG_COORD_LETTERS;
        return std::nullopt;
    }
    const bool bNegative = numbers.front().bNegative || group.cHemisphere == 'S' || group.cHemisphere == 'W';
    return bNegative ? -dDegrees : dDegrees;
}

bool IsLatitudeLetter(char cHemisphere)
{
    return cHemisphere == 'N' || cHemisphere == 'S';
}

CCoordinatesParse Problem(const QString& strProblem)
{
    return {std::nullopt, strProblem};
}

}

std::optional<CDestination> DestinationOf(const CTrackerSettings& settings)
{
    if (!settings.m_bGoTo)
        return std::nullopt;
    return CDestination{settings.m_strGoToName, {settings.m_dGoToLatitude, settings.m_dGoToLongitude}};
}

void SetDestination(CTrackerSettings& settings, const std::optional<CDestination>& destination)
{
    const CDestination none;
    const CDestination& kept = destination ? *destination : none;
    settings.m_bGoTo = destination ? 1 : 0;
    settings.m_strGoToName = kept.m_strName;
    settings.m_dGoToLatitude = kept.m_point.m_dLatitude;
    settings.m_dGoToLongitude = kept.m_point.m_dLongitude;
}

CCoordinatesParse ParseCoordinates(const QString& strText)
{
    std::vector<CToken> tokens;
    if (!Tokenize(strText, tokens))
        return Problem(MSG_COORD_FORM);
    if (tokens.empty())
        return Problem(MSG_COORD_EMPTY);
    const size_t nLetters = size_t(std::count_if(tokens.begin(), tokens.end(), [](const CToken& token) {
        return token.eKind == EToken::Hemisphere;
    }));
    CGroups groups;
    const bool bSplit = nLetters > 0 ? SplitByLetters(tokens, groups) : SplitWithoutLetters(tokens, groups);
    if (!bSplit || groups.size() != 2)
        return Problem(nLetters > 0 && nLetters != 2 ? MSG_COORD_LETTERS : MSG_COORD_FORM);
    if (nLetters > 0 && IsLatitudeLetter(groups[0].cHemisphere) == IsLatitudeLetter(groups[1].cHemisphere))
        return Problem(MSG_COORD_LETTERS);
    if (nLetters > 0 && !IsLatitudeLetter(groups[0].cHemisphere))
        std::swap(groups[0], groups[1]);
    QString strProblem;
    const std::optional<double> dLatitude = GroupDegrees(groups[0], strProblem);
    if (!dLatitude)
        return Problem(strProblem);
    const std::optional<double> dLongitude = GroupDegrees(groups[1], strProblem);
    if (!dLongitude)
        return Problem(strProblem);
    if (std::fabs(*dLatitude) > SETTINGS_LATITUDE_MAX)
        return Problem(MSG_COORD_LATITUDE);
    if (std::fabs(*dLongitude) > SETTINGS_LONGITUDE_MAX)
        return Problem(MSG_COORD_LONGITUDE);
    return {CGeoPoint{*dLatitude, *dLongitude}, QString()};
}

QString CoordinatesText(const CGeoPoint& point)
{
    return FormatText("%.5f %.5f", point.m_dLatitude, point.m_dLongitude);
}

CGuidance GuidanceTo(const CDestination& destination, const CGpsTracker& tracker)
{
    const CGeoPoint position{double(tracker.m_fLatitude), double(tracker.m_fLongitude)};
    CGuidance guidance;
    guidance.m_dMeters = GreatCircleMeters(position, destination.m_point);
    guidance.m_dBearing = InitialBearing(position, destination.m_point);
    const double dKnots = double(tracker.m_fSpeed);
    guidance.m_bMoving = dKnots > GOTO_MIN_MOVING_KNOTS;
    if (guidance.m_bMoving)
        guidance.m_dSecondsToGo = guidance.m_dMeters / (dKnots * GOTO_METERS_PER_KNOT_SECOND);
    return guidance;
}

QString DistanceText(double dMeters)
{
    if (!std::isfinite(dMeters))
        return QStringLiteral("--");
    if (dMeters < GOTO_KM_BELOW)
        return FormatText("%.0f m", dMeters);
    if (dMeters < GOTO_WHOLE_KM_FROM)
        return FormatText("%.1f km", dMeters / 1000);
    return FormatText("%.0f km", dMeters / 1000);
}

QString GuidanceText(const CGuidance& guidance)
{
    QString strToGo = QStringLiteral("--");
    if (guidance.m_dSecondsToGo >= 0 && std::isfinite(guidance.m_dSecondsToGo)) {
        const long long nMinutes = std::llround(std::min(guidance.m_dSecondsToGo, 1e12) / 60);
        strToGo = FormatText("%lld:%02lld", nMinutes / 60, nMinutes % 60);
    }
    const long long nBearing = std::llround(std::isfinite(guidance.m_dBearing) ? guidance.m_dBearing : 0) % 360;
    return QStringLiteral("Go to: %1 %2\u00B0 %3").arg(DistanceText(guidance.m_dMeters), QString::number(nBearing), strToGo);
}

bool CArrivalWatch::Check(double dMeters, float fHdop)
{
    if (m_bArrived) {
        if (dMeters > ARRIVAL_REARM_METERS)
            m_bArrived = false;
        return false;
    }
    const double dHdopRadius = std::isfinite(fHdop) ? double(fHdop) * ARRIVAL_METERS_PER_HDOP : 0;
    m_bArrived = dMeters <= std::max(ARRIVAL_RADIUS_METERS, dHdopRadius);
    return m_bArrived;
}
