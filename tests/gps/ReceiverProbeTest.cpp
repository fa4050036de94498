// The search for a receiver: which devices it lists, what it takes for a
// receiver, how long it may look, and that it only ever listens.
#include "gps/CReceiverProbe.h"
#include "tests/common/TestSupport.h"
#include "tools/sim/CPseudoTerminal.h"
#include "tools/sim/CSimReceiver.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// What a device under test sends, every 100 ms.
enum class ESends
{
    Sentences,        // a receiver's sentences with their checksums
    WrongChecksums,   // the same with every checksum wrong
    Nothing,
};

QByteArray WithWrongChecksums(QByteArray text)
{
    for (qsizetype i = text.indexOf('*'); i >= 0; i = text.indexOf('*', i + 1))
        text[i + 1] = text[i + 1] == '0' ? '1' : '0';
    return text;
}

// A pseudo-terminal under a by-id name in a temporary folder, sending on a
// thread of its own.
class CProbedDevice
{
public:
    CProbedDevice(const QString& strByIdFolder, const QString& strName, ESends eSends)
    {
        QString strError;
        m_bOpen = m_pty.Open(strByIdFolder + u'/' + strName, strError);
        m_thread = std::thread([this, eSends] {
            CSimReceiver receiver(52.09, 5.12);
            while (!m_bStop) {
                const QByteArray text = receiver.Sentences(QDateTime::currentDateTimeUtc());
                if (eSends != ESends::Nothing)
                    m_pty.Write(eSends == ESends::Sentences ? text : WithWrongChecksums(text));
                std::this_thread::sleep_for(100ms);
            }
        });
    }
    ~CProbedDevice()
    {
        m_bStop = true;
        m_thread.join();
    }
    CProbedDevice(const CProbedDevice&) = delete;
    CProbedDevice& operator=(const CProbedDevice&) = delete;

    CPseudoTerminal m_pty;
    bool m_bOpen = false;

private:
    std::atomic<bool> m_bStop = false;
    std::thread m_thread;
};

// The search's times shortened five-fold: the devices under test send every
// 100 ms, so every limit still shows, sooner.
constexpr int TEST_LISTEN_MS = PROBE_LISTEN_MS / 5;
constexpr int TEST_TOTAL_MS = PROBE_TOTAL_MS / 5;

CProbePlaces DevicesOnly(const QStringList& patterns)
{
    CProbePlaces places;
    places.m_devicePatterns = patterns;
    places.m_nListenMs = TEST_LISTEN_MS;
    places.m_nTotalMs = TEST_TOTAL_MS;
    return places;
}

double SecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

TEST(ReceiverProbeTest, DevicesAreListedOnceByTheirById)
{
    QTemporaryDir dir;
    CProbedDevice first(dir.path(), QStringLiteral("usb-u-blox_GNSS-if00"), ESends::Nothing);
    CProbedDevice second(dir.path(), QStringLiteral("usb-Prolific-port0"), ESends::Nothing);
    ASSERT_TRUE(first.m_bOpen && second.m_bOpen);
    QFile(dir.filePath(QStringLiteral("not-a-device"))).open(QIODevice::WriteOnly);
    // The by-id names first, then the devices they lead to, as the
    // default patterns come.
    const std::vector<CDevicePresent> devices =
        DevicesPresent(DevicesOnly({dir.path() + QStringLiteral("/*"), first.m_pty.m_strDevice, second.m_pty.m_strDevice}));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].m_strName, second.m_pty.m_strLink);
    EXPECT_EQ(devices[0].m_strTarget, second.m_pty.m_strDevice);
    EXPECT_EQ(devices[1].m_strName, first.m_pty.m_strLink);
    EXPECT_EQ(devices[1].m_strTarget, first.m_pty.m_strDevice);
    EXPECT_TRUE(DevicesPresent(DevicesOnly({})).empty());
}

// Each device is listened to at 4800 baud first; a pseudo-terminal takes any
// rate, so a talking one is found at once. A device that only sends noise is
// tried at every rate, one that sends nothing only once, and all of it stops
// after the whole search's time.
TEST(ReceiverProbeTest, FirstDeviceThatDeliversASentenceWins)
{
    struct Case
    {
        const char* szName;
        std::vector<ESends> devices;
        int nFound;   // index of the device found, -1: none
        double dMinSeconds;
        double dMaxSeconds;
    };
    const Case cases[] = {
        {"one talking", {ESends::Sentences}, 0, 0, 1},
        {"silent, then talking", {ESends::Nothing, ESends::Sentences}, 1, 0.35, 1.4},
        {"silent", {ESends::Nothing}, -1, 0.35, 1.1},
        {"noise at every rate, then the time is up", {ESends::WrongChecksums, ESends::WrongChecksums, ESends::Sentences},
         -1, 1.95, 3},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        std::vector<std::unique_ptr<CProbedDevice>> devices;
        for (size_t i = 0; i < c.devices.size(); ++i) {
            devices.push_back(std::make_unique<CProbedDevice>(dir.path(), QStringLiteral("dev%1").arg(i), c.devices[i]));
            ASSERT_TRUE(devices.back()->m_bOpen);
        }
        QStringList progress;
        CReceiverProbe probe(DevicesOnly({dir.path() + QStringLiteral("/*")}));
        const auto start = SteadyClock::now();
        const COutcome outcome = probe.Run([&progress](const QString& strText) { progress << strText; });
        const double dSeconds = SecondsSince(start);
        EXPECT_EQ(bool(outcome), c.nFound >= 0) << c.szName << ": " << outcome.Message().toStdString();
        EXPECT_GE(dSeconds, c.dMinSeconds) << c.szName;
        EXPECT_LE(dSeconds, c.dMaxSeconds) << c.szName;
        if (c.nFound >= 0) {
            EXPECT_EQ(probe.m_strPort, devices[size_t(c.nFound)]->m_pty.m_strLink) << c.szName;
            EXPECT_EQ(probe.m_nBaudRate, 4800) << c.szName;
            EXPECT_EQ(progress.last(), QStringLiteral("Looking for a GPS receiver: %1 at 4800 baud").arg(probe.m_strPort));
        } else {
            EXPECT_TRUE(outcome.Message().startsWith(QStringLiteral("No GPS receiver answered ("))) << c.szName;
        }
        // Listening only: not a byte went to any device.
        for (const auto& pDevice : devices)
            EXPECT_EQ(pDevice->m_pty.ReadSent(), QByteArray()) << c.szName;
    }
}

// A device that another program holds in exclusive mode is left alone, even
// by root, whom the mode does not keep out.
TEST(ReceiverProbeTest, DeviceHeldByAnotherIsLeftAlone)
{
    QTemporaryDir dir;
    CProbedDevice device(dir.path(), QStringLiteral("held"), ESends::Sentences);
    ASSERT_TRUE(device.m_bOpen);
    const int hHolder = open(QFile::encodeName(device.m_pty.m_strDevice).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(hHolder, 0);
    ASSERT_EQ(ioctl(hHolder, TIOCEXCL), 0);
    CReceiverProbe probe(DevicesOnly({device.m_pty.m_strLink}));
    const auto start = SteadyClock::now();
    EXPECT_FALSE(probe.Run());
    EXPECT_LT(SecondsSince(start), 0.5);
    ioctl(hHolder, TIOCNXCL);
    EXPECT_TRUE(probe.Run());
    close(hHolder);
}

// gpsd is asked first; one without a receiver (JSON only) gives way to the
// devices.
TEST(ReceiverProbeTest, GpsdComesFirst)
{
    QTemporaryDir dir;
    CProbedDevice device(dir.path(), QStringLiteral("usb-receiver"), ESends::Sentences);
    ASSERT_TRUE(device.m_bOpen);
    const QByteArray sentences = CSimReceiver(52.09, 5.12).Sentences(QDateTime::currentDateTimeUtc());
    for (const bool bGpsdHasReceiver : {true, false}) {
        CFakeGpsd gpsd(bGpsdHasReceiver ? sentences : QByteArray());
        ASSERT_GT(gpsd.m_nPort, 0);
        CProbePlaces places = DevicesOnly({device.m_pty.m_strLink});
        places.m_strGpsd = gpsd.PortName();
        CReceiverProbe probe(places);
        ASSERT_TRUE(probe.Run());
        EXPECT_EQ(probe.m_strPort, bGpsdHasReceiver ? gpsd.PortName() : device.m_pty.m_strLink);
        EXPECT_EQ(probe.m_nBaudRate, bGpsdHasReceiver ? 0 : 4800);
    }
    CProbePlaces nowhere;
    nowhere.m_strGpsd = QStringLiteral("gpsd://127.0.0.1:1");
    CReceiverProbe probe(nowhere);
    const COutcome outcome = probe.Run();
    EXPECT_EQ(outcome.Message(), QStringLiteral("No GPS receiver answered (gpsd://127.0.0.1:1)"));
}

TEST(ReceiverProbeTest, CancelEndsTheSearch)
{
    QTemporaryDir dir;
    CProbedDevice device(dir.path(), QStringLiteral("noisy"), ESends::WrongChecksums);
    ASSERT_TRUE(device.m_bOpen);
    std::atomic<bool> bCancel = false;
    CReceiverProbe probe(DevicesOnly({device.m_pty.m_strLink}));
    const auto start = SteadyClock::now();
    const COutcome outcome = probe.Run([&bCancel](const QString&) { bCancel = true; }, &bCancel);
    EXPECT_EQ(outcome.Kind(), EOutcome::Cancelled);
    EXPECT_LT(SecondsSince(start), 0.5);
}

TEST(ReceiverProbeTest, PlacesFromTheEnvironment)
{
    const QByteArray gpsd = qgetenv("VELTRIP_PROBE_GPSD");
    const QByteArray devices = qgetenv("VELTRIP_PROBE_DEVICES");
    qunsetenv("VELTRIP_PROBE_GPSD");
    qunsetenv("VELTRIP_PROBE_DEVICES");
    const CProbePlaces defaults = CProbePlaces::FromEnvironment();
    EXPECT_EQ(defaults.m_strGpsd, "gpsd://localhost");
    EXPECT_EQ(defaults.m_devicePatterns, (QStringList{"/dev/serial/by-id/*", "/dev/ttyACM*", "/dev/ttyUSB*"}));
    qputenv("VELTRIP_PROBE_GPSD", "gpsd://127.0.0.1:3000");
    qputenv("VELTRIP_PROBE_DEVICES", "/tmp/a/*::/dev/ttyS9");
    const CProbePlaces given = CProbePlaces::FromEnvironment();
    EXPECT_EQ(given.m_strGpsd, "gpsd://127.0.0.1:3000");
    EXPECT_EQ(given.m_devicePatterns, (QStringList{"/tmp/a/*", "/dev/ttyS9"}));
    qputenv("VELTRIP_PROBE_GPSD", gpsd);
    qputenv("VELTRIP_PROBE_DEVICES", devices);
    const CProbePlaces none = CProbePlaces::FromEnvironment();
    EXPECT_TRUE(none.m_strGpsd.isEmpty());
    EXPECT_TRUE(none.m_devicePatterns.isEmpty());
}

// The search's times: the defaults unless a whole number from 1 is given.
TEST(ReceiverProbeTest, TimesFromTheEnvironment)
{
    const struct
    {
        const char* szListen;   // null: unset
        const char* szTotal;
        int nListenMs;
        int nTotalMs;
    } CASES[] = {
        {nullptr, nullptr, 2000, 10000},
        {"300", "1500", 300, 1500},
        {"0", "-5", 2000, 10000},
        {"fast", "", 2000, 10000},
    };
    const QByteArray listen = qgetenv("VELTRIP_PROBE_LISTEN_MS");
    const QByteArray total = qgetenv("VELTRIP_PROBE_TOTAL_MS");
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szListen ? c.szListen : "unset");
        for (const auto& [szName, szValue] : {std::pair{"VELTRIP_PROBE_LISTEN_MS", c.szListen},
                                               std::pair{"VELTRIP_PROBE_TOTAL_MS", c.szTotal}}) {
            if (szValue)
                qputenv(szName, szValue);
            else
                qunsetenv(szName);
        }
        const CProbePlaces places = CProbePlaces::FromEnvironment();
        EXPECT_EQ(places.m_nListenMs, c.nListenMs);
        EXPECT_EQ(places.m_nTotalMs, c.nTotalMs);
    }
    qputenv("VELTRIP_PROBE_LISTEN_MS", listen);
    qputenv("VELTRIP_PROBE_TOTAL_MS", total);
}

}
