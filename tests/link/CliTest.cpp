// oxilume-cli as a user runs it: a child process on a pseudo-terminal that
// the device emulator plays, its output read back byte for byte, its exit
// status checked.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DeviceEmulator.h"

namespace
{
using namespace std::chrono_literals;

const std::string kConnected = "Connection established successfully.\r\n";
const std::string kEndOfData = "End of Data Tranmission\r\n";

struct CRun
{
    int nStatus = -1;  // exit status, or 128 + signal
    std::string strOut;
    std::string strErr;
};

// Runs the tool; fnWhile (if given) is called with the output so far each
// time some arrives and may send the child a signal. The child is killed
// after nLimitMillis so that a hang fails instead of blocking.
CRun RunCli(const std::vector<std::string>& vecArgs, int nLimitMillis = 120000,
            const std::function<void(pid_t, const std::string&)>& fnWhile = {})
{
    CRun run;
    int aOut[2];
    int aErr[2];
    if (::pipe2(aOut, O_CLOEXEC) != 0 || ::pipe2(aErr, O_CLOEXEC) != 0)
        return run;
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::dup2(aOut[1], 1);
        ::dup2(aErr[1], 2);
        std::vector<char*> argv;
        static std::string strPath = OXILUME_CLI_PATH;
        argv.push_back(strPath.data());
        std::vector<std::string> vecCopy = vecArgs;
        for (std::string& s : vecCopy)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        ::execv(strPath.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(aOut[1]);
    ::close(aErr[1]);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(nLimitMillis);
    bool bOutOpen = true;
    bool bErrOpen = true;
    bool bKilled = false;
    while (bOutOpen || bErrOpen)
    {
        if (std::chrono::steady_clock::now() > until && !bKilled)
        {
            ::kill(pid, SIGKILL);
            bKilled = true;
        }
        pollfd afd[2] = {{bOutOpen ? aOut[0] : -1, POLLIN, 0}, {bErrOpen ? aErr[0] : -1, POLLIN, 0}};
        if (::poll(afd, 2, 100) <= 0)
            continue;
        char sz[4096];
        if (afd[0].revents)
        {
            const ssize_t n = ::read(aOut[0], sz, sizeof sz);
            if (n > 0)
            {
                run.strOut.append(sz, static_cast<std::size_t>(n));
                if (fnWhile)
                    fnWhile(pid, run.strOut);
            }
            else
                bOutOpen = false;
        }
        if (afd[1].revents)
        {
            const ssize_t n = ::read(aErr[0], sz, sizeof sz);
            if (n > 0)
                run.strErr.append(sz, static_cast<std::size_t>(n));
            else
                bErrOpen = false;
        }
    }
    ::close(aOut[0]);
    ::close(aErr[0]);
    int nWait = 0;
    ::waitpid(pid, &nWait, 0);
    run.nStatus = WIFEXITED(nWait) ? WEXITSTATUS(nWait) : 128 + WTERMSIG(nWait);
    return run;
}

std::unique_ptr<CDeviceEmulator> StartEmulator(const CEmulatorOptions& options)
{
    auto pEmulator = std::make_unique<CDeviceEmulator>(options);
    if (!pEmulator->Start())
        return nullptr;
    return pEmulator;
}

TEST(CliTest, DownloadWritesTheWholeLogAndStopsWithExitZero)
{
    CEmulatorOptions options;
    options.m_nRecords = 50;
    auto pEmulator = StartEmulator(options);
    ASSERT_TRUE(pEmulator);
    const std::string strPort = pEmulator->PortPath();

    const CRun run = RunCli({strPort, "--download"});
    EXPECT_EQ(run.nStatus, 0) << run.strErr;

    std::string strExpected = kConnected;
    const auto& records = pEmulator->Records();
    for (int i = 0; i < 50; ++i)
    {
        const CStoredRecord& r = records[static_cast<std::size_t>(i)];
        char sz[160];
        std::snprintf(sz, sizeof sz, "(%d/50) 20%02d-%d-%d %2d:%02d:%02d Spo2: %d (%%) HR: %d (bpm) \r\n", i + 1,
                      r.m_byYear, r.m_byMonth & 0x0F, r.m_byDay, r.m_byHour, r.m_byMinute, r.m_bySecond,
                      r.m_bySpo2, r.m_byPulse);
        strExpected += sz;
    }
    strExpected += "Total number of Memory Data : 50 \r\n" + kEndOfData;
    EXPECT_EQ(run.strOut, strExpected);
    EXPECT_EQ(run.strErr, strPort + " port succeed \nEnd of Connection\n");

    ASSERT_TRUE(pEmulator->WaitForCommand('z', 5000));
    const auto commands = pEmulator->Commands();
    EXPECT_EQ(std::string(commands.begin(), commands.begin() + 3), "rfm");
    EXPECT_EQ(commands.back(), 'z');
    EXPECT_EQ(pEmulator->CommandCount('q'), 0u) << "f goes out on the pass after the handshake answer";
}

TEST(CliTest, SecondsLimitStopsTheLinkWithExitZero)
{
    auto pEmulator = StartEmulator(CEmulatorOptions());
    ASSERT_TRUE(pEmulator);
    const CRun run = RunCli({pEmulator->PortPath(), "--seconds", "1"});
    EXPECT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strOut, kConnected);
    EXPECT_EQ(run.strErr, pEmulator->PortPath() + " port succeed \nEnd of Connection\n");
    EXPECT_TRUE(pEmulator->WaitForCommand('z', 5000));
}

TEST(CliTest, TerminationSignalStopsTheLinkAtOnce)
{
    for (int nSignal : {SIGTERM, SIGINT})
    {
        auto pEmulator = StartEmulator(CEmulatorOptions());
        ASSERT_TRUE(pEmulator);
        bool bSent = false;
        const CRun run = RunCli({pEmulator->PortPath()}, 60000, [&](pid_t pid, const std::string& strOut) {
            if (!bSent && strOut.find(kConnected) != std::string::npos)
            {
                ::kill(pid, nSignal);
                bSent = true;
            }
        });
        EXPECT_TRUE(bSent);
        EXPECT_EQ(run.nStatus, 0) << nSignal << run.strErr;
        EXPECT_EQ(run.strErr, pEmulator->PortPath() + " port succeed \nEnd of Connection\n");
        EXPECT_TRUE(pEmulator->WaitForCommand('z', 5000));
        EXPECT_EQ(pEmulator->CommandCount('q'), 0u) << "stopped well before the 92-tick wait ended";
    }
}

TEST(CliTest, PortThatCannotBeOpenedExitsTwo)
{
    const CRun run = RunCli({"ttyOxilumeNoSuchPort9"});
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_EQ(run.strOut, "");
    EXPECT_EQ(run.strErr, "ttyOxilumeNoSuchPort9 port fails !!\n");
}

TEST(CliTest, LinkThatGivesUpExitsThreeAfterTheFailureLine)
{
    CEmulatorOptions options;
    options.m_nRecords = 300;
    options.m_nHangupAfter = 200;
    auto pEmulator = StartEmulator(options);
    ASSERT_TRUE(pEmulator);
    const CRun run = RunCli({pEmulator->PortPath(), "--download"});
    EXPECT_EQ(run.nStatus, 3) << run.strErr;
    const std::string strFailure = "*** Retry Connection failed. please check connection. ***\r\n";
    ASSERT_GE(run.strOut.size(), strFailure.size());
    EXPECT_EQ(run.strOut.substr(run.strOut.size() - strFailure.size()), strFailure);
    EXPECT_EQ(run.strOut.find(kEndOfData), std::string::npos);
    EXPECT_EQ(run.strErr.find("End of Connection"), std::string::npos);
}

TEST(CliTest, HelpAndUsage)
{
    const CRun help = RunCli({"--help"});
    EXPECT_EQ(help.nStatus, 0);
    EXPECT_EQ(help.strOut.rfind("Usage: oxilume-cli PORT [--download] [--seconds N]\n", 0), 0u) << help.strOut;

    for (const auto& vecArgs : std::vector<std::vector<std::string>>{
             {}, {"--seconds"}, {"ttyS0", "--seconds", "ten"}, {"ttyS0", "--bogus"}, {"ttyS0", "ttyS1"}})
    {
        const CRun run = RunCli(vecArgs);
        EXPECT_EQ(run.nStatus, 1) << vecArgs.size();
        EXPECT_EQ(run.strOut, "");
        EXPECT_NE(run.strErr.find("Usage: oxilume-cli"), std::string::npos);
    }
}

TEST(CliTest, ListPortsAnswersWithExitZero)
{
    const CRun run = RunCli({"--list-ports"});
    EXPECT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "");
    // Every line is a port, the preselected one marked.
    std::size_t nStart = 0;
    while (nStart < run.strOut.size())
    {
        const std::size_t nEnd = run.strOut.find('\n', nStart);
        ASSERT_NE(nEnd, std::string::npos);
        const std::string strLine = run.strOut.substr(nStart, nEnd - nStart);
        EXPECT_TRUE(strLine.rfind("* ", 0) == 0 || strLine.rfind("  ", 0) == 0) << strLine;
        nStart = nEnd + 1;
    }
}
}  // namespace
