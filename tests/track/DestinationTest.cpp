// Tools, "Go to…": typed coordinates, the texts of the distance and the
// arrival note's rule.
#include "gps/TrackerSettings.h"
#include "track/Destination.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double PARSE_TOLERANCE = 1e-9;

TEST(Destination, CoordinatesInEachTypedForm)
{
    const struct
    {
        const char* szText;
        double dLatitude;
        double dLongitude;
    } CASES[] = {
        {"52.0907 5.1214", 52.0907, 5.1214},
        {"52.0907,5.1214", 52.0907, 5.1214},
        {"  -33.8688 ; 151.2093 ", -33.8688, 151.2093},
        {"+10 -20.5", 10, -20.5},
        {"52\u00B005'26.5\"N 5\u00B007'17.0\"E", 52 + 5 / 60.0 + 26.5 / 3600, 5 + 7 / 60.0 + 17.0 / 3600},
        {"52\u00B0 5'24.7''N 5\u00B0 7'22.5''E", 52 + 5 / 60.0 + 24.7 / 3600, 5 + 7 / 60.0 + 22.5 / 3600},
        {"33\u00B052\u203204.1\u2033S 151\u00B012\u203234\u2033W", -(33 + 52 / 60.0 + 4.1 / 3600),
         -(151 + 12 / 60.0 + 34 / 3600.0)},
        {"N 52 05.443 E 5 07.284", 52 + 5.443 / 60, 5 + 7.284 / 60},
        {"s 52 05.443 w 5 07.284", -(52 + 5.443 / 60), -(5 + 7.284 / 60)},
        {"E 5 07.284 N 52 05.443", 52 + 5.443 / 60, 5 + 7.284 / 60},
        {"52 05.443N 5 07.284E", 52 + 5.443 / 60, 5 + 7.284 / 60},
        {"52\u00B005.443' 5\u00B007.284'", 52 + 5.443 / 60, 5 + 7.284 / 60},
        {"52 5 26.5 5 7 17", 52 + 5 / 60.0 + 26.5 / 3600, 5 + 7 / 60.0 + 17 / 3600.0},
        {"90 -180", 90, -180},
    };
    for (const auto& c : CASES) {
        const CCoordinatesParse parse = ParseCoordinates(QString::fromUtf8(c.szText));
        ASSERT_TRUE(parse.m_point.has_value()) << c.szText << ": " << parse.m_strProblem.toStdString();
        EXPECT_NEAR(parse.m_point->m_dLatitude, c.dLatitude, PARSE_TOLERANCE) << c.szText;
        EXPECT_NEAR(parse.m_point->m_dLongitude, c.dLongitude, PARSE_TOLERANCE) << c.szText;
    }
}

TEST(Destination, BadCoordinatesGiveAMessageAndNoPlace)
{
    const QString FORM = QStringLiteral(
        "Not understood: type latitude and longitude, for example 52.0907 5.1214 or N 52 05.443 E 5 07.284");
    const QString LETTERS = QStringLiteral("Give one latitude (N or S) and one longitude (E or W)");
    const struct
    {
        const char* szText;
        QString strProblem;
    } CASES[] = {
        {"", QStringLiteral("Type a place, for example 52.0907 5.1214")},
        {"   ", QStringLiteral("Type a place, for example 52.0907 5.1214")},
        {"52.0907", FORM},
        {"52.0907 5.1214 7", FORM},
        {"52,0907 5,1214", FORM},
        {"Utrecht", FORM},
        {"52.09.07 5.1214", FORM},
        {"52.5 30 5 7", FORM},
        {"52 - 5", FORM},
        {"5'52\u00B0 5 7", FORM},
        {"52\u00B005\"N 5\u00B007'E", FORM},
        {"N 52 N 5", LETTERS},
        {"E 52 W 5", LETTERS},
        {"N 52 05.443 5 07.284", LETTERS},
        {"N -52 E 5", LETTERS},
        {"52 60 5 7", QStringLiteral("Minutes and seconds lie below 60")},
        {"52 5 60 5 7 1", QStringLiteral("Minutes and seconds lie below 60")},
        {"90.0001 5", QStringLiteral("Latitude lies between 90 S and 90 N")},
        {"S 91 E 5", QStringLiteral("Latitude lies between 90 S and 90 N")},
        {"52 180.5", QStringLiteral("Longitude lies between 180 W and 180 E")},
        {"52 1234567890123456789012345", FORM},
    };
    for (const auto& c : CASES) {
        const CCoordinatesParse parse = ParseCoordinates(QString::fromUtf8(c.szText));
        EXPECT_FALSE(parse.m_point.has_value()) << c.szText;
        EXPECT_EQ(parse.m_strProblem, c.strProblem) << c.szText;
    }
}

// A place's name reads back as the place, within a metre.
TEST(Destination, CoordinatesTextReadsBack)
{
    const CGeoPoint places[] = {{52.0907, 5.1214}, {-33.868812, 151.209298}, {-0.000001, -179.999999}};
    for (const CGeoPoint& place : places) {
        const CCoordinatesParse parse = ParseCoordinates(CoordinatesText(place));
        ASSERT_TRUE(parse.m_point.has_value());
        EXPECT_NEAR(parse.m_point->m_dLatitude, place.m_dLatitude, 5e-6);
        EXPECT_NEAR(parse.m_point->m_dLongitude, place.m_dLongitude, 5e-6);
    }
}

TEST(Destination, KeptInTheSettingsUntilCleared)
{
    CTrackerSettings settings;
    EXPECT_FALSE(DestinationOf(settings).has_value());
    SetDestination(settings, CDestination{QStringLiteral("Hut"), {46.5, 7.25}});
    const std::optional<CDestination> kept = DestinationOf(settings);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->m_strName, QStringLiteral("Hut"));
    EXPECT_EQ(kept->m_point.m_dLatitude, 46.5);
    EXPECT_EQ(kept->m_point.m_dLongitude, 7.25);
    SetDestination(settings, std::nullopt);
    EXPECT_FALSE(DestinationOf(settings).has_value());
    EXPECT_EQ(settings.m_strGoToName, QString());
}

TEST(Destination, DistanceTextChangesUnitAtOneAndAHundredKilometres)
{
    const struct
    {
        double dMeters;
        const char* szText;
    } CASES[] = {
        {0, "0 m"},          {1.2, "1 m"},         {999.4, "999 m"},       {999.5, "1.0 km"},
        {1000, "1.0 km"},    {1049, "1.0 km"},     {1051, "1.1 km"},       {99949, "99.9 km"},
        {99950, "100 km"},   {150000, "150 km"},   {20015000, "20015 km"}, {NAN, "--"},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(DistanceText(c.dMeters), QString::fromLatin1(c.szText)) << c.dMeters;
}

TEST(Destination, TimeToGoAtThePresentSpeed)
{
    const struct
    {
        double dSecondsToGo;
        double dBearing;
        const char* szText;
    } CASES[] = {
        {-1, 45, "Go to: 1.0 km 45\u00B0 --"},
        {0, 0, "Go to: 1.0 km 0\u00B0 0:00"},
        {29, 359.4, "Go to: 1.0 km 359\u00B0 0:00"},
        {30, 359.6, "Go to: 1.0 km 0\u00B0 0:01"},
        {3599, 90, "Go to: 1.0 km 90\u00B0 1:00"},
        {36000 + 25 * 60, 180, "Go to: 1.0 km 180\u00B0 10:25"},
    };
    for (const auto& c : CASES) {
        CGuidance guidance;
        guidance.m_dMeters = 1000;
        guidance.m_dBearing = c.dBearing;
        guidance.m_dSecondsToGo = c.dSecondsToGo;
        EXPECT_EQ(GuidanceText(guidance), QString::fromUtf8(c.szText)) << c.dSecondsToGo;
    }
}

// One fix a row: the note is due once within the radius, and again only
// after the position has been more than 100 m away.
TEST(Destination, ArrivalIsShownOnceUntilLeavingAHundredMetres)
{
    const struct
    {
        double dMeters;
        float fHdop;
        bool bNote;
    } FIXES[] = {
        {500, 1.0f, false}, {26, 1.0f, false}, {25, 1.0f, true},  {3, 1.0f, false},  {99, 1.0f, false},
        {100, 1.0f, false}, {24, 1.0f, false}, {101, 1.0f, false}, {30, 1.0f, false}, {10, 1.0f, true},
        {150, 1.0f, false}, {40, 8.0f, true},  {120, 8.0f, false}, {41, 8.0f, false}, {26, NAN, false},
        {25, NAN, true},
    };
    CArrivalWatch watch;
    for (const auto& fix : FIXES)
        EXPECT_EQ(watch.Check(fix.dMeters, fix.fHdop), fix.bNote) << "fix " << (&fix - FIXES);

    // A new destination counts again at once.
    watch.Reset();
    EXPECT_TRUE(watch.Check(5, 1.0f));
}

}
