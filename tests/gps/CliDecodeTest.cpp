#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliResult
{
    int nExitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliResult RunDecode(const QStringList& args, const QByteArray& input = {}, const QString& strLocale = {})
{
    QProcess process;
    if (!strLocale.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), strLocale);
        process.setProcessEnvironment(environment);
    }
    process.start(QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"), QStringList{QStringLiteral("decode")} + args);
    CliResult result;
    if (!process.waitForStarted(10000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    result.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QList<QJsonObject> Records(const QByteArray& out)
{
    QList<QJsonObject> records;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.constData();
        records.append(doc.object());
    }
    return records;
}

TEST(CliDecodeTest, RmcAndGgaExamplesFromStandardInput)
{
    const CliResult result =
        RunDecode({QStringLiteral("--utc"), QStringLiteral("1"), QStringLiteral("-")},
                  "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
                  "$GPXYZ,1,2,3\r\n"
                  "$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*48\r\n");
    ASSERT_EQ(result.nExitCode, 0) << result.err.constData();
    const QList<QJsonObject> records = Records(result.out);
    ASSERT_EQ(records.size(), 2);

    const QJsonObject& rmc = records[0];
    EXPECT_EQ(rmc[QStringLiteral("line")].toString(),
              QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"));
    EXPECT_EQ(rmc[QStringLiteral("hour")].toInt(), 13);
    EXPECT_EQ(rmc[QStringLiteral("year")].toInt(), 2094);
    EXPECT_EQ(static_cast<float>(rmc[QStringLiteral("speed")].toDouble()), 22.4f);
    EXPECT_NEAR(rmc[QStringLiteral("latitude")].toDouble(), 48.1173, 1e-5);
    EXPECT_EQ(rmc[QStringLiteral("rmcValid")].toInt(), 1);
    EXPECT_EQ(rmc[QStringLiteral("updateFlags")].toInt(), 0x7B);
    EXPECT_EQ(rmc[QStringLiteral("gsaMode")].toString(), QString());
    EXPECT_EQ(rmc[QStringLiteral("sats")].toArray().size(), 12);

    // Each line is a tick of its own: the GGA line's bits and validity alone.
    const QJsonObject& gga = records[1];
    EXPECT_EQ(gga[QStringLiteral("updateFlags")].toInt(), 0x1027);
    EXPECT_EQ(gga[QStringLiteral("rmcValid")].toInt(), 0);
    EXPECT_EQ(gga[QStringLiteral("fixQuality")].toInt(), 1);
    EXPECT_EQ(static_cast<float>(gga[QStringLiteral("altitude")].toDouble()), 545.4f);
    EXPECT_NEAR(gga[QStringLiteral("longitude")].toDouble(), -11.516667, 1e-5);
    EXPECT_EQ(static_cast<float>(gga[QStringLiteral("speed")].toDouble()), 22.4f);
}

TEST(CliDecodeTest, GsaAndGsvExamples)
{
    const CliResult result = RunDecode({QStringLiteral("-")},
                                       "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
                                       "$GPGSV,3,2,11,13,38,270,45*45\r\n");
    ASSERT_EQ(result.nExitCode, 0);
    const QList<QJsonObject> records = Records(result.out);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0][QStringLiteral("gsaMode")].toString(), QStringLiteral("A"));
    EXPECT_EQ(records[0][QStringLiteral("gsaFixType")].toInt(), 3);
    EXPECT_EQ(static_cast<float>(records[0][QStringLiteral("pdop")].toDouble()), 2.5f);
    const QJsonArray sats = records[1][QStringLiteral("sats")].toArray();
    EXPECT_EQ(sats[3].toObject()[QStringLiteral("fixPrn")].toInt(), 9);
    EXPECT_EQ(sats[4].toObject()[QStringLiteral("prn")].toInt(), 13);
    EXPECT_EQ(sats[4].toObject()[QStringLiteral("azimuth")].toInt(), 270);
    EXPECT_EQ(records[1][QStringLiteral("gsvMessage")].toInt(), 2);
    EXPECT_EQ(records[1][QStringLiteral("satsInView")].toInt(), 11);
}

// A line whose checksum is wrong prints nothing; one without a checksum, or
// with it in lower case, is decoded.
TEST(CliDecodeTest, ChecksumsDecideWhichLinesCount)
{
    const CliResult result = RunDecode({QStringLiteral("-")},
                                       "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*38\r\n"
                                       "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1\r\n"
                                       "$GBGSV,1,1,02,138,38,270,45,201,05,010,*6b\n");
    ASSERT_EQ(result.nExitCode, 0);
    const QList<QJsonObject> records = Records(result.out);
    ASSERT_EQ(records.size(), 2);
    EXPECT_FALSE(records[0][QStringLiteral("line")].toString().contains(QLatin1Char('*')));
    const QJsonArray sats = records[1][QStringLiteral("sats")].toArray();
    EXPECT_EQ(sats[0].toObject()[QStringLiteral("prn")].toInt(), 138);
    EXPECT_EQ(sats[1].toObject()[QStringLiteral("prn")].toInt(), 201);
}

// Only a line that begins with "$" is a sentence; the rest print nothing.
TEST(CliDecodeTest, LinesNotStartingWithDollarAreIgnored)
{
    const char* const LINES[] = {
        "!AIVDM,1,1,,A,13RMCwP000Ow<RPNqh1A5Ov00000,0*72\r\n",   // AIS
        "# capture of a GPRMC receiver\n",                        // comment
        "GPRMC,123519,A,4807.038,N,01131.000,E,,,230394\n",        // tail of a cut line
    };
    for (const char* szLine : LINES) {
        const CliResult result = RunDecode({QStringLiteral("-")}, szLine);
        EXPECT_EQ(result.nExitCode, 0) << szLine;
        EXPECT_EQ(result.out, QByteArray()) << szLine;
    }
}

TEST(CliDecodeTest, UtcDefaultsToStoredSetting)
{
    const QString strDir = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Korvane productions");
    ASSERT_TRUE(QDir().mkpath(strDir));
    QFile file(strDir + QStringLiteral("/veltrip.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nUtc=-2\n");
    file.close();
    const CliResult result = RunDecode({QStringLiteral("-")}, "$GPRMC,011000,A\n");
    file.remove();
    ASSERT_EQ(result.nExitCode, 0);
    const QList<QJsonObject> records = Records(result.out);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0][QStringLiteral("hour")].toInt(), 23);
    EXPECT_EQ(records[0][QStringLiteral("line")].toString(), QStringLiteral("$GPRMC,011000,A"));
}

TEST(CliDecodeTest, ControlAndHighBytesAreEscaped)
{
    const CliResult result = RunDecode({QStringLiteral("-")}, QByteArray("$GPGSA,\"\\\x01\xe9", 11) + "\r\n");
    ASSERT_EQ(result.nExitCode, 0);
    const QList<QJsonObject> records = Records(result.out);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0][QStringLiteral("line")].toString(), QStringLiteral("$GPGSA,\"\\\x01\u00e9"));
    EXPECT_EQ(records[0][QStringLiteral("gsaMode")].toString(), QStringLiteral("\""));
}

TEST(CliDecodeTest, SampleCaptureOfTheProject)
{
    const CliResult result = RunDecode({QStringLiteral(VELTRIP_SOURCE_DIR "/data/sample.nmea")});
    ASSERT_EQ(result.nExitCode, 0) << result.err.constData();
    const QList<QJsonObject> records = Records(result.out);
    ASSERT_FALSE(records.isEmpty());
    int nFixes = 0;
    for (const QJsonObject& record : records) {
        if ((record[QStringLiteral("updateFlags")].toInt() & 3) == 3)
            ++nFixes;
    }
    EXPECT_GE(nFixes, 10);
    EXPECT_GT(records.last()[QStringLiteral("satsInView")].toInt(), 0);
}

// Numbers are written with a decimal point under any locale: the same bytes
// as under C.
TEST(CliDecodeTest, SameBytesUnderEveryLocale)
{
    const QStringList args{QStringLiteral(VELTRIP_SOURCE_DIR "/data/sample.nmea")};
    const CliResult plain = RunDecode(args, {}, QStringLiteral("C"));
    ASSERT_EQ(plain.nExitCode, 0) << plain.err.constData();
    for (const char* szLocale : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        SCOPED_TRACE(szLocale);
        const CliResult local = RunDecode(args, {}, QLatin1String(szLocale));
        EXPECT_EQ(local.nExitCode, 0);
        EXPECT_EQ(local.out, plain.out);
    }
}

TEST(CliDecodeTest, ArgumentsAndExitCodes)
{
    const CliResult help = RunDecode({QStringLiteral("--help")});
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_TRUE(help.out.contains("--utc"));
    EXPECT_TRUE(help.out.contains("updateFlags"));

    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("--utc")},
                                    QStringList{QStringLiteral("--utc"), QStringLiteral("x"), QStringLiteral("-")},
                                    QStringList{QStringLiteral("--utc"), QStringLiteral("13"), QStringLiteral("-")},
                                    QStringList{QStringLiteral("--bogus"), QStringLiteral("-")},
                                    QStringList{QStringLiteral("a"), QStringLiteral("b")}}) {
        const CliResult result = RunDecode(args);
        EXPECT_EQ(result.nExitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.err.contains("usage:"));
    }

    const CliResult missing = RunDecode({QStringLiteral("/nonexistent/capture.nmea")});
    EXPECT_EQ(missing.nExitCode, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/capture.nmea"));
    const CliResult folder = RunDecode({QStringLiteral("/")});
    EXPECT_EQ(folder.nExitCode, 1);
}

}
