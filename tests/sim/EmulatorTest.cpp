// The emulator driven over its real pty, byte for byte, as the host would.

#include "DeviceEmulator.h"
#include "link/WireProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using namespace WireProtocol;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Generous: other builds and tests share the two cores.
constexpr int kWaitMs = 10000;
constexpr int kQuietMs = 500;
constexpr double kByteSeconds = 10.0 / 115200.0;

// The host's end of the line.
class CHostEnd
{
public:
    CHostEnd() = default;
    CHostEnd(const CHostEnd&) = delete;
    CHostEnd& operator=(const CHostEnd&) = delete;
    ~CHostEnd() { Close(); }

    bool Open(const std::string& strPath)
    {
        Close();
        m_bHungUp = false;
        m_vecReadSizes.clear();
        m_nFd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return m_nFd >= 0;
    }
    void Close()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
        m_nFd = -1;
    }
    void Send(std::uint8_t by) { ASSERT_EQ(::write(m_nFd, &by, 1), 1); }

    // Reads until nCount bytes came, the time is up, or the line hung up.
    Bytes Read(std::size_t nCount, int nTimeoutMs = kWaitMs)
    {
        Bytes vec;
        const auto tEnd = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
        while (vec.size() < nCount && !m_bHungUp)
        {
            const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - Clock::now()).count();
            if (nLeft <= 0)
                break;
            pollfd pfd{m_nFd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(nLeft)) <= 0)
                continue;
            std::uint8_t aby[256];
            const ssize_t n = ::read(m_nFd, aby, std::min(sizeof aby, nCount - vec.size()));
            if (n > 0)
            {
                vec.insert(vec.end(), aby, aby + n);
                m_vecReadSizes.push_back(static_cast<std::size_t>(n));
            }
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                m_bHungUp = true;
            else if (pfd.revents & (POLLHUP | POLLERR))
                m_bHungUp = true;
        }
        return vec;
    }
    // Everything that comes within nMs.
    Bytes ReadFor(int nMs) { return Read(1u << 20, nMs); }

    bool HungUp() const { return m_bHungUp; }
    const std::vector<std::size_t>& ReadSizes() const { return m_vecReadSizes; }

private:
    int m_nFd = -1;
    bool m_bHungUp = false;
    std::vector<std::size_t> m_vecReadSizes;
};

bool FrameGood(const Bytes& vec, std::size_t nAt, std::size_t nSize)
{
    return vec.size() >= nAt + nSize && Checksum(vec.data() + nAt, nSize - 1) == vec[nAt + nSize - 1];
}

Bytes ToBytes(const std::array<std::uint8_t, 9>& frame) { return Bytes(frame.begin(), frame.end()); }

class EmulatorTest : public ::testing::Test
{
protected:
    void Boot(const CEmulatorOptions& options)
    {
        m_pSim = std::make_unique<CDeviceEmulator>(options);
        ASSERT_TRUE(m_pSim->Start()) << m_pSim->LastError();
        ASSERT_EQ(m_pSim->PortPath().rfind("/dev/pts/", 0), 0u) << m_pSim->PortPath();
        ASSERT_TRUE(m_host.Open(m_pSim->PortPath()));
    }
    void TearDown() override
    {
        m_host.Close();
        if (m_pSim)
            m_pSim->Stop();
    }
    static CEmulatorOptions Fast()
    {
        CEmulatorOptions options;
        options.m_nRecords = 5;
        options.m_nLiveCount = 3;
        options.m_nLiveIntervalMs = 100;
        return options;
    }

    std::unique_ptr<CDeviceEmulator> m_pSim;
    CHostEnd m_host;
};

TEST_F(EmulatorTest, HandshakeIsAnsweredUnlessTheFaultSaysNo)
{
    for (const bool bNoHandshake : {false, true})
    {
        SCOPED_TRACE(bNoHandshake ? "no handshake" : "handshake");
        CEmulatorOptions options = Fast();
        options.m_bNoHandshake = bNoHandshake;
        Boot(options);
        m_host.Send(kCmdHandshake);
        ASSERT_TRUE(m_pSim->WaitForCommand(kCmdHandshake, kWaitMs));
        if (bNoHandshake)
            EXPECT_TRUE(m_host.ReadFor(kQuietMs).empty());
        else
            EXPECT_EQ(m_host.Read(1), Bytes{kMarkHandshake});
        EXPECT_EQ(m_pSim->Commands(), Bytes{kCmdHandshake});
        TearDown();
    }
}

TEST_F(EmulatorTest, LiveFramesCarryTheTimeAndPlausibleValuesThenStop)
{
    Boot(Fast());
    const std::time_t tBefore = std::time(nullptr);
    const auto tStart = Clock::now();
    m_host.Send(kCmdLive);
    const Bytes vec = m_host.Read(3 * kLiveFrameSize);
    const auto tDone = Clock::now();
    ASSERT_EQ(vec.size(), 3 * kLiveFrameSize);

    std::tm tm{};
    localtime_r(&tBefore, &tm);
    for (std::size_t nAt = 0; nAt < vec.size(); nAt += kLiveFrameSize)
    {
        SCOPED_TRACE(nAt / kLiveFrameSize);
        EXPECT_TRUE(FrameGood(vec, nAt, kLiveFrameSize));
        EXPECT_NEAR(vec[nAt + kOffYear], tm.tm_year + 1900 - 2000, 1);
        EXPECT_GE(vec[nAt + kOffMonth], 1);
        EXPECT_LE(vec[nAt + kOffMonth], 12);
        EXPECT_GE(vec[nAt + kOffDay], 1);
        EXPECT_LE(vec[nAt + kOffDay], 31);
        EXPECT_LE(vec[nAt + kOffHour], 23);
        EXPECT_LE(vec[nAt + kOffMinute], 59);
        EXPECT_LE(vec[nAt + kOffSecond], 59);
        EXPECT_GE(vec[nAt + kOffSpo2], 90);
        EXPECT_LE(vec[nAt + kOffSpo2], 100);
        EXPECT_GE(vec[nAt + kOffPulse], 50);
        EXPECT_LE(vec[nAt + kOffPulse], 90);
    }
    // Three frames are two intervals apart at the least.
    EXPECT_GE(tDone - tStart, std::chrono::milliseconds(200));
    EXPECT_TRUE(m_host.ReadFor(kQuietMs).empty());
    EXPECT_EQ(m_pSim->LiveFramesSent(), 3u);
}

TEST_F(EmulatorTest, DownloadSendsHeaderEachRecordAndTheEndMarker)
{
    struct Case
    {
        int nRecords;
        Bytes vecHeader;
    };
    const Case aCases[] = {
        {0, {0x01, 0x00, 0x00, 0x00, 0x01}},
        {3, {0x01, 0x00, 0x00, 0x03, 0x04}},
        {300, {0x01, 0x00, 0x01, 0x2C, 0x2E}},
    };
    for (const Case& c : aCases)
    {
        SCOPED_TRACE(c.nRecords);
        CEmulatorOptions options = Fast();
        options.m_nRecords = c.nRecords;
        Boot(options);
        m_host.Send(kCmdHeader);
        EXPECT_EQ(m_host.Read(kHeaderFrameSize), c.vecHeader);
        for (int i = 0; i < c.nRecords; ++i)
        {
            m_host.Send(kCmdNextRecord);
            const Bytes vec = m_host.Read(kRecordFrameSize);
            ASSERT_EQ(vec, ToBytes(m_pSim->Records()[static_cast<std::size_t>(i)].Frame())) << i;
            ASSERT_TRUE(FrameGood(vec, 0, kRecordFrameSize)) << i;
        }
        m_host.Send(kCmdNextRecord);
        EXPECT_EQ(m_host.Read(1), Bytes{kMarkEndOfData});
        EXPECT_EQ(m_pSim->Counts().m_nRecordFrames, static_cast<std::size_t>(c.nRecords));
        TearDown();
    }
}

TEST(EmulatorRecords, AreAPlausibleNightOneSecondApartAndFollowTheSeed)
{
    CEmulatorOptions options;
    options.m_nRecords = 3000;
    options.m_nStartYear = 2023;
    options.m_nStartMonth = 12;
    options.m_nStartDay = 31;
    options.m_nStartHour = 23;
    options.m_nStartMinute = 50;
    options.m_nStartSecond = 0;
    const CDeviceEmulator sim(options);
    const auto& vec = sim.Records();
    ASSERT_EQ(vec.size(), 3000u);

    std::size_t nNormal = 0, nDips = 0;
    for (const CStoredRecord& rec : vec)
    {
        EXPECT_GE(rec.m_bySpo2, 80);
        EXPECT_LE(rec.m_bySpo2, 100);
        EXPECT_GE(rec.m_byPulse, 50);
        EXPECT_LE(rec.m_byPulse, 90);
        nNormal += rec.m_bySpo2 >= 94 && rec.m_bySpo2 <= 99;
        nDips += rec.m_bySpo2 < 92;
    }
    EXPECT_GE(nNormal, vec.size() * 85 / 100);
    EXPECT_GT(nDips, 0u);

    // One second apart, across midnight and the new year.
    EXPECT_EQ(ToBytes(vec[0].Frame()).at(kOffYear), 23);
    auto seconds = [](const CStoredRecord& r) { return r.m_byHour * 3600 + r.m_byMinute * 60 + r.m_bySecond; };
    EXPECT_EQ(seconds(vec[0]), 23 * 3600 + 50 * 60);
    EXPECT_EQ(seconds(vec[600]), 0);
    EXPECT_EQ(vec[600].m_byYear, 24);
    EXPECT_EQ(vec[600].m_byMonth, 1);
    EXPECT_EQ(vec[600].m_byDay, 1);
    EXPECT_EQ(seconds(vec[2999]), 2399);

    const CDeviceEmulator same(options);
    options.m_nSeed = 2;
    const CDeviceEmulator other(options);
    auto spo2 = [](const CDeviceEmulator& s) {
        Bytes v;
        for (const auto& r : s.Records())
            v.push_back(r.m_bySpo2);
        return v;
    };
    EXPECT_EQ(spo2(same), spo2(sim));
    EXPECT_NE(spo2(other), spo2(sim));
}

TEST_F(EmulatorTest, ResumeResendsTheAwaitedFrameWhole)
{
    Boot(Fast());
    const Bytes vecHeader = [&] {
        const auto a = m_pSim->HeaderFrame();
        return Bytes(a.begin(), a.end());
    }();
    m_host.Send(kCmdHeader);
    EXPECT_EQ(m_host.Read(kHeaderFrameSize), vecHeader);
    m_host.Send(kCmdResume);
    EXPECT_EQ(m_host.Read(kHeaderFrameSize), vecHeader);
    m_host.Send(kCmdNextRecord);
    EXPECT_EQ(m_host.Read(kRecordFrameSize), ToBytes(m_pSim->Records()[0].Frame()));
    m_host.Send(kCmdResume);
    EXPECT_EQ(m_host.Read(kRecordFrameSize), ToBytes(m_pSim->Records()[0].Frame()));
    m_host.Send(kCmdNextRecord);
    EXPECT_EQ(m_host.Read(kRecordFrameSize), ToBytes(m_pSim->Records()[1].Frame()));
    EXPECT_EQ(m_pSim->Counts().m_nResentFrames, 2u);
}

TEST_F(EmulatorTest, StopFallsQuiet)
{
    CEmulatorOptions options = Fast();
    options.m_nLiveCount = 1000;
    options.m_nLiveIntervalMs = 50;
    Boot(options);
    m_host.Send(kCmdLive);
    ASSERT_EQ(m_host.Read(kLiveFrameSize).size(), kLiveFrameSize);
    m_host.Send(kCmdStop);
    ASSERT_TRUE(m_pSim->WaitForCommand(kCmdStop, kWaitMs));
    m_host.ReadFor(200);  // a frame that was on its way
    const std::size_t nSent = m_pSim->LiveFramesSent();
    EXPECT_TRUE(m_host.ReadFor(kQuietMs).empty());
    EXPECT_EQ(m_pSim->LiveFramesSent(), nSent);
}

TEST_F(EmulatorTest, CorruptsEveryKthFrameAndResendsItGood)
{
    CEmulatorOptions options = Fast();
    options.m_nCorruptEvery = 3;
    options.m_nLiveCount = 7;
    options.m_nLiveIntervalMs = 30;
    Boot(options);
    m_host.Send(kCmdLive);
    const Bytes vec = m_host.Read(7 * kLiveFrameSize);
    ASSERT_EQ(vec.size(), 7 * kLiveFrameSize);
    for (std::size_t i = 0; i < 7; ++i)
    {
        const bool bBad = (i + 1) % 3 == 0;
        EXPECT_EQ(FrameGood(vec, i * kLiveFrameSize, kLiveFrameSize), !bBad) << i;
        EXPECT_LT(vec[i * kLiveFrameSize + kOffChecksum], 0x80) << i;
    }
    EXPECT_EQ(m_pSim->Counts().m_nCorruptedFrames, 2u);

    // Frame 8 is the header, 9 the first record (corrupted), 10 its resend.
    m_host.Send(kCmdHeader);
    EXPECT_TRUE(FrameGood(m_host.Read(kHeaderFrameSize), 0, kHeaderFrameSize));
    m_host.Send(kCmdNextRecord);
    const Bytes vecBad = m_host.Read(kRecordFrameSize);
    ASSERT_EQ(vecBad.size(), kRecordFrameSize);
    EXPECT_FALSE(FrameGood(vecBad, 0, kRecordFrameSize));
    m_host.Send(kCmdResume);
    EXPECT_EQ(m_host.Read(kRecordFrameSize), ToBytes(m_pSim->Records()[0].Frame()));
}

TEST_F(EmulatorTest, SilenceAfterNFramesKeepsEverythingBack)
{
    CEmulatorOptions options = Fast();
    options.m_nSilenceAfter = 2;
    options.m_nLiveCount = 5;
    options.m_nLiveIntervalMs = 30;
    Boot(options);
    m_host.Send(kCmdLive);
    EXPECT_EQ(m_host.Read(2 * kLiveFrameSize).size(), 2 * kLiveFrameSize);
    EXPECT_TRUE(m_host.ReadFor(kQuietMs).empty());
    for (const std::uint8_t by : {kCmdHeader, kCmdNextRecord, kCmdHandshake})
        m_host.Send(by);
    ASSERT_TRUE(m_pSim->WaitForCommand(kCmdHandshake, kWaitMs));
    EXPECT_TRUE(m_host.ReadFor(kQuietMs).empty());
    EXPECT_EQ(m_pSim->FramesSent(), 2u);
}

TEST_F(EmulatorTest, HangsUpAfterNBytes)
{
    struct Case
    {
        const char* pszName;
        long nAfter;
        Bytes vecCommands;  // each sent once the answer to the one before is in
        std::size_t nAnswer;  // bytes that each command brings
    };
    const Case aCases[] = {
        {"live", 12, {kCmdLive}, 12},
        {"download", 18, {kCmdHeader, kCmdNextRecord, kCmdNextRecord}, 0},
    };
    for (const Case& c : aCases)
    {
        SCOPED_TRACE(c.pszName);
        CEmulatorOptions options = Fast();
        options.m_nHangupAfter = c.nAfter;
        options.m_nLiveIntervalMs = 30;
        Boot(options);
        Bytes vec;
        const std::size_t anAnswer[] = {kHeaderFrameSize, kRecordFrameSize, kRecordFrameSize};
        for (std::size_t i = 0; i < c.vecCommands.size(); ++i)
        {
            m_host.Send(c.vecCommands[i]);
            const Bytes v = m_host.Read(c.nAnswer ? c.nAnswer : anAnswer[i]);
            vec.insert(vec.end(), v.begin(), v.end());
        }
        EXPECT_EQ(vec.size(), static_cast<std::size_t>(c.nAfter));
        EXPECT_TRUE(m_pSim->WaitForHangup(kWaitMs));
        m_host.ReadFor(kWaitMs);  // ends at the hang-up
        EXPECT_TRUE(m_host.HungUp());
        EXPECT_EQ(m_pSim->BytesSent(), static_cast<std::size_t>(c.nAfter));
        TearDown();
    }
}

TEST_F(EmulatorTest, SplitRecordsArriveInPieces)
{
    CEmulatorOptions options = Fast();
    options.m_bSplitRecords = true;
    options.m_nSplitPauseMs = 250;
    Boot(options);
    m_host.Send(kCmdHeader);
    ASSERT_EQ(m_host.Read(kHeaderFrameSize).size(), kHeaderFrameSize);
    const std::size_t nReadsBefore = m_host.ReadSizes().size();
    const auto tStart = Clock::now();
    m_host.Send(kCmdNextRecord);
    EXPECT_EQ(m_host.Read(kRecordFrameSize), ToBytes(m_pSim->Records()[0].Frame()));
    // Two pauses between three pieces.
    EXPECT_GE(Clock::now() - tStart, std::chrono::milliseconds(500));
    EXPECT_GE(m_host.ReadSizes().size() - nReadsBefore, 2u);
    EXPECT_LT(m_host.ReadSizes()[nReadsBefore], kRecordFrameSize);
}

TEST_F(EmulatorTest, PacedLineTakesAtLeastTheWireTime)
{
    for (const int nBurst : {1, 9})
    {
        SCOPED_TRACE(nBurst);
        CEmulatorOptions options = Fast();
        options.m_nRecords = 100;
        options.m_bPaced = true;
        options.m_nPacedBurst = nBurst;
        Boot(options);
        std::size_t nBytes = 0;
        const auto tStart = Clock::now();
        m_host.Send(kCmdHeader);
        nBytes += m_host.Read(kHeaderFrameSize).size();
        for (int i = 0; i < 100; ++i)
        {
            m_host.Send(kCmdNextRecord);
            nBytes += m_host.Read(kRecordFrameSize).size();
        }
        m_host.Send(kCmdNextRecord);
        EXPECT_EQ(m_host.Read(1), Bytes{kMarkEndOfData});
        const double dSeconds = std::chrono::duration<double>(Clock::now() - tStart).count();
        ASSERT_EQ(nBytes, kHeaderFrameSize + 100 * kRecordFrameSize);
        // Each command's own byte time comes before its answer.
        EXPECT_GE(dSeconds, (nBytes + 1 + 102) * kByteSeconds);
        TearDown();
    }
}

TEST_F(EmulatorTest, HostThatReopensFindsAFreshDevice)
{
    CEmulatorOptions options = Fast();
    options.m_nLiveCount = 100;
    options.m_nLiveIntervalMs = 20;
    Boot(options);
    m_host.Send(kCmdHandshake);
    EXPECT_EQ(m_host.Read(1), Bytes{kMarkHandshake});
    m_host.Send(kCmdLive);
    ASSERT_TRUE(m_pSim->WaitForFrames(3, kWaitMs));
    m_host.Close();  // without z: frames go on into the void
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(m_host.Open(m_pSim->PortPath()));
    m_host.Send(kCmdHandshake);
    // Frames from before the reopen may still come first (the host ignores
    // them while it waits for 0xFE); the handshake stops the stream.
    Bytes vec;
    while (vec.empty() || (vec.back() != kMarkHandshake && !m_host.HungUp()))
    {
        const Bytes v = m_host.Read(1);
        if (v.empty())
            break;
        vec.push_back(v[0]);
    }
    ASSERT_FALSE(vec.empty());
    EXPECT_EQ(vec.back(), kMarkHandshake);
    EXPECT_TRUE(m_host.ReadFor(kQuietMs).empty());
}

TEST_F(EmulatorTest, StopsPromptlyWhileTheHostDoesNotRead)
{
    CEmulatorOptions options = Fast();
    options.m_nLiveCount = 1000000;
    options.m_nLiveIntervalMs = 1;
    Boot(options);
    m_host.Send(kCmdLive);
    ASSERT_TRUE(m_pSim->WaitForFrames(500, kWaitMs));
    m_pSim->Stop();  // returns; the test's own time-out guards a hang
    EXPECT_FALSE(m_pSim->WaitForHangup(0));
}

// The program: path on the first line, ends on SIGTERM or the end of its input.
struct CProgram
{
    pid_t m_pid = -1;
    int m_nIn = -1;
    int m_nOut = -1;

    bool Spawn(const std::vector<std::string>& vecArgs)
    {
        int anIn[2], anOut[2];
        if (pipe(anIn) != 0 || pipe(anOut) != 0)
            return false;
        m_pid = fork();
        if (m_pid == 0)
        {
            dup2(anIn[0], 0);
            dup2(anOut[1], 1);
            ::close(anIn[1]);
            ::close(anOut[0]);
            std::vector<char*> argv{const_cast<char*>(OXILUME_SIM_PATH)};
            for (const auto& str : vecArgs)
                argv.push_back(const_cast<char*>(str.c_str()));
            argv.push_back(nullptr);
            execv(OXILUME_SIM_PATH, argv.data());
            _exit(127);
        }
        ::close(anIn[0]);
        ::close(anOut[1]);
        m_nIn = anIn[1];
        m_nOut = anOut[0];
        return m_pid > 0;
    }
    std::string ReadAll(char cStopAt = 0)
    {
        std::string str;
        char c;
        while (::read(m_nOut, &c, 1) == 1)
        {
            str += c;
            if (cStopAt && c == cStopAt)
                break;
        }
        return str;
    }
    // Exit status, or -1 when it did not end within the time.
    int Wait(int nTimeoutMs)
    {
        const auto tEnd = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
        int nStatus = 0;
        while (Clock::now() < tEnd)
        {
            if (waitpid(m_pid, &nStatus, WNOHANG) == m_pid)
            {
                m_pid = -1;
                return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    ~CProgram()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_nIn >= 0)
            ::close(m_nIn);
        if (m_nOut >= 0)
            ::close(m_nOut);
    }
};

TEST(EmulatorProgram, ServesItsPtyAndEndsOnSignalOrEndOfInput)
{
    for (const bool bSignal : {true, false})
    {
        SCOPED_TRACE(bSignal ? "SIGTERM" : "end of input");
        CProgram prog;
        ASSERT_TRUE(prog.Spawn({"--records", "2", "--live-interval-ms", "100"}));
        std::string strPath = prog.ReadAll('\n');
        ASSERT_FALSE(strPath.empty());
        strPath.pop_back();
        CHostEnd host;
        ASSERT_TRUE(host.Open(strPath)) << strPath;
        host.Send(kCmdHandshake);
        EXPECT_EQ(host.Read(1), Bytes{kMarkHandshake});
        host.Send(kCmdHeader);
        EXPECT_EQ(host.Read(kHeaderFrameSize), (Bytes{0x01, 0x00, 0x00, 0x02, 0x03}));
        if (bSignal)
            kill(prog.m_pid, SIGTERM);
        else
        {
            ::close(prog.m_nIn);
            prog.m_nIn = -1;
        }
        EXPECT_EQ(prog.Wait(kWaitMs), 0);
    }
}

TEST(EmulatorProgram, HelpAndBadFlags)
{
    struct Case
    {
        std::vector<std::string> vecArgs;
        int nStatus;
        const char* pszOut;  // expected in standard output, or null
    };
    const Case aCases[] = {
        {{"--help"}, 0, "--hangup-after N"},
        {{"--records"}, 2, nullptr},
        {{"--corrupt-every", "0"}, 2, nullptr},
        {{"--bogus"}, 2, nullptr},
        {{"--device", "/nonexistent/tty"}, 1, nullptr},
    };
    for (const Case& c : aCases)
    {
        SCOPED_TRACE(c.vecArgs[0]);
        CProgram prog;
        ASSERT_TRUE(prog.Spawn(c.vecArgs));
        const std::string strOut = prog.ReadAll();
        EXPECT_EQ(prog.Wait(kWaitMs), c.nStatus);
        if (c.pszOut)
            EXPECT_NE(strOut.find(c.pszOut), std::string::npos) << strOut;
        else
            EXPECT_TRUE(strOut.empty()) << strOut;
    }
}
}  // namespace
