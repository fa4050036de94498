// SIGTERM while start-up waits for the user: the program ends without a
// window and without further boxes. (A binary of its own: the request to end
// lasts for the rest of the process.)
#include "app/CTrackerApp.h"
#include "app/CommandLine.h"
#include "app/ExitSignals.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(SignalTest, TermDuringStartUpEndsItQuietly)
{
    ResetApp();
    InstallExitSignals();
    StartupOptions().m_strPort = QStringLiteral("/nonexistent/veltrip-tty");
    CModalDriver driver;
    driver.Then([](QDialog*) { std::raise(SIGTERM); });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_TRUE(ExitRequested());
    EXPECT_EQ(driver.m_nDialogs, 1);
    EXPECT_EQ(driver.m_nUnexpected, 0);
    EXPECT_FALSE(theApp.m_pMainWnd->isVisible());
    EXPECT_EQ(theApp.ExitInstance(), 0);
}

}
