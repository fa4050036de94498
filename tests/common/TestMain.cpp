#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

#ifdef VELTRIP_TEST_GUI
#include <QApplication>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // Tests never touch the user's own settings or storage card.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    setenv("XDG_CONFIG_HOME", qPrintable(home.filePath(QStringLiteral("config"))), 1);
    setenv("XDG_CACHE_HOME", qPrintable(home.filePath(QStringLiteral("cache"))), 1);
    setenv("VELTRIP_STORAGE_CARD", qPrintable(home.filePath(QStringLiteral("Storage card"))), 1);
    QDir().mkpath(home.filePath(QStringLiteral("Storage card/GPS")));
    // Nor the machine's receivers: a search for one at start looks only
    // where a test points it.
    setenv("VELTRIP_PROBE_GPSD", "", 0);
    setenv("VELTRIP_PROBE_DEVICES", "", 0);

    TestApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
