#include "gps/CGpsTracker.h"
#include "gps/NmeaDecoder.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

QString NmeaDir()
{
    return CorpusDir() + QStringLiteral("/nmea");
}

// Lines of a capture, each with its line feed.
QList<QByteArray> CaptureLines(const QString& strName)
{
    const QByteArray bytes = ReadAll(NmeaDir() + QLatin1Char('/') + strName);
    QList<QByteArray> lines;
    qsizetype nStart = 0;
    while (nStart < bytes.size()) {
        qsizetype nFeed = bytes.indexOf('\n', nStart);
        if (nFeed < 0)
            nFeed = bytes.size() - 1;
        lines.append(bytes.mid(nStart, nFeed + 1 - nStart));
        nStart = nFeed + 1;
    }
    return lines;
}

// Whether a line carries a correct NMEA checksum (the decoder never checks;
// the range tests below only trust lines the receiver sent intact).
bool HasValidChecksum(const QByteArray& line)
{
    const qsizetype nDollar = line.indexOf('$');
    const qsizetype nStar = line.indexOf('*', nDollar + 1);
    if (nDollar < 0 || nStar < 0 || nStar + 3 > line.size())
        return false;
    unsigned char nSum = 0;
    for (qsizetype i = nDollar + 1; i < nStar; ++i)
        nSum ^= static_cast<unsigned char>(line[i]);
    bool bOk = false;
    return line.mid(nStar + 1, 2).toUInt(&bOk, 16) == nSum && bOk;
}

class CorpusTest : public ::testing::Test
{
protected:
    int m_nUtc = 0;   // hours added to the receiver UTC

    void SetUp() override
    {
        VELTRIP_REQUIRE_CORPUS();
    }

    // Decodes a capture line by line, one tick per line, up to and including
    // the first line that starts with strPrefix.
    void DecodeUpTo(const QString& strName, const QByteArray& prefix)
    {
        for (const QByteArray& line : CaptureLines(strName)) {
            m_tracker.BeginTick();
            m_tracker.AssembleBytes(line.constData(), static_cast<size_t>(line.size()), m_nUtc);
            if (line.startsWith(prefix))
                return;
        }
        FAIL() << "no line starting with " << prefix.constData() << " in " << strName.toStdString();
    }

    CGpsTracker m_tracker;
};

TEST_F(CorpusTest, EveryCaptureDecodesWithValuesInRange)
{
    const QStringList names = QDir(NmeaDir()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& strName : names) {
        SCOPED_TRACE(strName.toStdString());
        CGpsTracker tracker;
        int nFixes = 0;
        for (const QByteArray& line : CaptureLines(strName)) {
            tracker.BeginTick();
            tracker.AssembleBytes(line.constData(), static_cast<size_t>(line.size()), m_nUtc);
            const uint32_t nFlags = tracker.m_nUpdateFlags;
            EXPECT_GE(tracker.m_fCourse, 0.0f);   // the guard ran before any field
            if (!HasValidChecksum(line))
                continue;
            SCOPED_TRACE(line.trimmed().toStdString());
            if (nFlags & UPD_LATITUDE) {
                EXPECT_LT(std::fabs(tracker.m_fLatitude), 90.001f);
            }
            if (nFlags & UPD_LONGITUDE) {
                EXPECT_LT(std::fabs(tracker.m_fLongitude), 180.001f);
            }
            if (nFlags & UPD_TIME) {
                EXPECT_GE(tracker.m_nHour, 0);
                EXPECT_LE(tracker.m_nHour, 23);
                EXPECT_GE(tracker.m_nMinute, 0);
                EXPECT_LE(tracker.m_nMinute, 59);
                EXPECT_GE(tracker.m_nSecond, 0);
                EXPECT_LE(tracker.m_nSecond, 60);
                ++nFixes;
            }
            if (nFlags & UPD_DATE) {
                EXPECT_GE(tracker.m_nDay, 1);
                EXPECT_LE(tracker.m_nDay, 31);
                EXPECT_GE(tracker.m_nMonth, 1);
                EXPECT_LE(tracker.m_nMonth, 12);
                EXPECT_GE(tracker.m_nYear, 2000);
                EXPECT_LE(tracker.m_nYear, 2099);
            }
            if (nFlags & UPD_ALTITUDE) {
                EXPECT_LE(tracker.m_fAltitude, 10000.0f);
            }
            EXPECT_GE(tracker.m_nGsvMessage, 0);
        }
        EXPECT_GT(nFixes, 0);
    }
}

TEST_F(CorpusTest, SouthEastFixByHand)
{
    // $GPRMC,030719.000,A,3747.0873,S,17518.8938,E,0.69,181.39,311214,,,A*7D
    DecodeUpTo(QStringLiteral("bu353s4.log"), "$GPRMC");
    EXPECT_EQ(m_tracker.m_nHour, 3);
    EXPECT_EQ(m_tracker.m_nMinute, 7);
    EXPECT_EQ(m_tracker.m_nSecond, 19);
    EXPECT_EQ(m_tracker.m_nDay, 31);
    EXPECT_EQ(m_tracker.m_nMonth, 12);
    EXPECT_EQ(m_tracker.m_nYear, 2014);
    EXPECT_NEAR(m_tracker.m_fLatitude, -37.784788, 1e-5);
    EXPECT_NEAR(m_tracker.m_fLongitude, 175.314897, 1e-4);
    EXPECT_FLOAT_EQ(m_tracker.m_fSpeed, 0.69f);
    EXPECT_FLOAT_EQ(m_tracker.m_fCourse, 181.39f);
    EXPECT_EQ(m_tracker.m_bRmcValid, 1);
}

TEST_F(CorpusTest, OtherTalkerByHand)
{
    // $INRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W*60
    DecodeUpTo(QStringLiteral("humminbird-M37.log"), "$INRMC");
    EXPECT_EQ(m_tracker.m_nHour, 19);
    EXPECT_EQ(m_tracker.m_nYear, 2006);
    EXPECT_NEAR(m_tracker.m_fLatitude, 44.435217, 1e-5);
    EXPECT_NEAR(m_tracker.m_fLongitude, -71.675993, 1e-5);
    EXPECT_FLOAT_EQ(m_tracker.m_fSpeed, 5.2f);
}

TEST_F(CorpusTest, DgpsAltitudeByHand)
{
    // $GPGGA,213121.000,4404.1295864,N,12118.8685453,W,2,07,1.2,1102.537,M,...
    DecodeUpTo(QStringLiteral("skytraq-dgps.log"), "$GPGGA");
    EXPECT_EQ(m_tracker.m_nFixQuality, 2);
    EXPECT_EQ(m_tracker.m_nSatsUsed, 7);
    EXPECT_FLOAT_EQ(m_tracker.m_fHdop, 1.2f);
    EXPECT_FLOAT_EQ(m_tracker.m_fAltitude, 1102.537f);
    EXPECT_NEAR(m_tracker.m_fLatitude, 44.068826, 1e-5);
    EXPECT_NEAR(m_tracker.m_fLongitude, -121.314476, 1e-4);
}

TEST_F(CorpusTest, GsvWithoutLeadingZerosByHand)
{
    // $GPGSV,5,1,19,1,5,,23,2,28,73,24,4,19,40,24,9,3,137,29*40
    DecodeUpTo(QStringLiteral("myguide-3100.log"), "$GPGSV,5,1");
    EXPECT_EQ(m_tracker.m_nGsvMessages, 5);
    EXPECT_EQ(m_tracker.m_nSatsInView, 19);
    EXPECT_EQ(m_tracker.m_aSats[0].nPrn, 1);
    EXPECT_EQ(m_tracker.m_aSats[0].nElevation, 5);
    EXPECT_EQ(m_tracker.m_aSats[0].nSnr, 23);
    EXPECT_EQ(m_tracker.m_aSats[1].nAzimuth, 73);
    EXPECT_EQ(m_tracker.m_aSats[3].nAzimuth, 137);
    EXPECT_EQ(m_tracker.m_aSats[3].nSnr, 29);
}

TEST_F(CorpusTest, LinesWithAWrongChecksumChangeNothing)
{
    struct Case
    {
        const char* szName;
        int nWrong;
    };
    // Counted over the lines of the file that start with "$".
    for (const Case c : {Case{"gp-320fw-2019-04-07-coldboot.log", 41}, Case{"isync.log", 1}}) {
        SCOPED_TRACE(c.szName);
        int nWrong = 0;
        for (QByteArray line : CaptureLines(QString::fromLatin1(c.szName))) {
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            if (!line.startsWith('$'))
                continue;
            const QString text = QString::fromLatin1(line);
            if (!HasWrongChecksum(text))
                continue;
            ++nWrong;
            SCOPED_TRACE(line.constData());
            m_tracker.m_fCourse = 123;
            m_tracker.m_nGsvMessage = 7;
            m_tracker.m_chGsaMode = 'X';
            m_tracker.BeginTick();
            ProcessSentence(m_tracker, text, m_nUtc);
            EXPECT_EQ(m_tracker.m_nUpdateFlags, 0u);
            EXPECT_EQ(m_tracker.m_fCourse, 123.0f);
            EXPECT_EQ(m_tracker.m_nGsvMessage, 7);
            EXPECT_EQ(m_tracker.m_chGsaMode, 'X');
        }
        EXPECT_EQ(nWrong, c.nWrong);
    }
}

// The PRN fields of a GSA or GSV line as the receiver sent them.
QList<int> PrnFields(const QByteArray& line, bool bGsa)
{
    const QList<QByteArray> fields = line.left(line.indexOf('*')).split(',');
    QList<int> prns;
    if (bGsa) {
        for (qsizetype i = 3; i < std::min<qsizetype>(15, fields.size()); ++i)
            prns << fields[i].toInt();
    } else {
        for (qsizetype i = 4; i < fields.size(); i += 4)
            prns << fields[i].toInt();
    }
    return prns;
}

TEST_F(CorpusTest, ThreeDigitPrnsAreReadWhole)
{
    for (const char* szName : {"beidou-gb.log", "skytraq-dgps.log"}) {
        SCOPED_TRACE(szName);
        CGpsTracker tracker;
        int nThreeDigit = 0;
        for (const QByteArray& line : CaptureLines(QString::fromLatin1(szName))) {
            tracker.BeginTick();
            tracker.AssembleBytes(line.constData(), static_cast<size_t>(line.size()), m_nUtc);
            const bool bGsa = line.mid(3, 3) == "GSA";
            if (!line.startsWith('$') || !HasValidChecksum(line) || (!bGsa && line.mid(3, 3) != "GSV"))
                continue;
            SCOPED_TRACE(line.trimmed().constData());
            const QList<int> prns = PrnFields(line.trimmed(), bGsa);
            const int nFirst = bGsa ? 0 : 4 * (tracker.m_nGsvMessage - 1);
            if (!bGsa && (tracker.m_nGsvMessage < 1 || tracker.m_nGsvMessage > 3))
                continue;
            for (qsizetype i = 0; i < prns.size(); ++i) {
                const GpsSatellite& sat = tracker.m_aSats[nFirst + i];
                EXPECT_EQ(bGsa ? sat.nFixPrn : sat.nPrn, prns[i]);
                nThreeDigit += prns[i] >= 100;
            }
        }
        EXPECT_GT(nThreeDigit, 0);
    }
}

}
