// oxilume-cli --list-ports on a fixture machine: the same lines as
// ListOfferedPorts, and exit status 0 also when nothing is offered.

#include "ListPorts.h"
#include "SysfsFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

namespace
{
// Runs the tool with a clean demo variable; returns its output and status.
std::string RunListPorts(const std::string& strSysfs, int& nStatus)
{
    const std::string strCommand = "env -u OXILUME_DEMO_PORT OXILUME_SYSFS='" + strSysfs + "' '" +
                                   std::string(OXILUME_CLI_PATH) + "' --list-ports";
    std::string strOutput;
    FILE* pPipe = ::popen(strCommand.c_str(), "r");
    if (!pPipe)
    {
        nStatus = -1;
        return strOutput;
    }
    char buffer[512];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0)
        strOutput.append(buffer, nRead);
    const int nWait = ::pclose(pPipe);
    nStatus = WIFEXITED(nWait) ? WEXITSTATUS(nWait) : -1;
    return strOutput;
}

TEST(PortsCli, ListPortsOnFixtureMachine)
{
    CSysfsFixture fx;
    fx.AddUsbSerial("ttyUSB0", "1-1", "067b", "2303", "pl2303");
    fx.AddUsbSerial("ttyUSB1", "1-2", "0403", "6001", "ftdi_sio");
    fx.AddUsbSerial("ttyUSB2", "1-3", "067b", "2303", "pl2303");
    fx.AddVirtual("rfcomm0");
    fx.AddVirtual("tty0");

    int nStatus = -1;
    EXPECT_EQ(RunListPorts(fx.RootString(), nStatus), "  rfcomm0\n* ttyUSB0\n  ttyUSB2\n");
    EXPECT_EQ(nStatus, 0);
}

TEST(PortsCli, NothingOfferedPrintsNothing)
{
    CSysfsFixture fx;
    fx.AddUsbSerial("ttyUSB1", "1-2", "0403", "6001", "ftdi_sio");
    int nStatus = -1;
    EXPECT_EQ(RunListPorts(fx.RootString(), nStatus), "");
    EXPECT_EQ(nStatus, 0);
    EXPECT_EQ(RunListPorts(fx.RootString() + "/missing", nStatus), "");
    EXPECT_EQ(nStatus, 0);
}
} // namespace
