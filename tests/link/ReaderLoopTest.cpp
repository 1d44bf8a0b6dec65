// The reader loop's timing and mode rules, pass by pass, over a real
// pseudo-terminal with the test playing the device on its master side. The
// tick counter is moved by hand, so every time limit is checked exactly.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "link/LinkInfo.h"
#include "link/ReaderLoop.h"
#include "link/WireProtocol.h"

namespace
{
using namespace WireProtocol;

const std::string kConnected = "Connection established successfully.\r\n";
const std::string kLiveFailure = "**** Connection failed. Please check connection. ****\r\n";
const std::string kMemoryFailure = "*** Retry Connection failed. please check connection. ***\r\n";

class ReaderLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pty.IsValid());
        std::unique_ptr<CSerialPort> pReal = OpenSerialPort(m_pty.SlavePath());
        ASSERT_TRUE(pReal);
        ASSERT_TRUE(pReal->ApplyLineSettings());
        m_pPort = std::make_unique<CRecordingPort>(std::move(pReal), &m_nTick, &m_nPass);
        m_link.m_pView = &m_view;
        m_link.m_hComm = m_pPort.get();
        m_link.m_bStopped = 0;
        m_loop.SetIdleWaitMillis(0);
    }

    void TearDown() override
    {
        if (m_pPort)
            m_pPort->Close();
    }

    bool Pass()
    {
        ++m_nPass;
        m_bRunning = m_loop.RunPass();
        return m_bRunning;
    }

    // Runs passes, letting the port wake the loop, until fnDone holds.
    bool PassUntil(const std::function<bool()>& fnDone, int nMillis = 5000)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMillis);
        while (!fnDone())
        {
            if (!m_bRunning || std::chrono::steady_clock::now() > until)
                return false;
            m_pPort->WaitReadable(5);
            Pass();
        }
        return true;
    }

    // One tick of the view's timer, then passes enough to send what it made
    // pending.
    void Tick(int nCount = 1)
    {
        for (int i = 0; i < nCount && m_bRunning; ++i)
        {
            ++m_nTick;
            m_view.m_nTicks.fetch_add(1);
            Pass() && Pass();
        }
    }

    std::size_t LineCount() { return m_view.PieceCount(); }
    bool Logged(const std::string& str) { return m_view.Log().find(str) != std::string::npos; }

    // Start, the r of the first pass, and the device's answer.
    void Handshake()
    {
        ASSERT_TRUE(m_loop.Start());
        Pass();
        ASSERT_EQ(m_pPort->WrittenText(), "r");
        m_pty.Write({kMarkHandshake});
        ASSERT_TRUE(PassUntil([&] { return Logged(kConnected); }));
    }

    // Ticks until the next command goes out; returns it with the ticks taken,
    // or 0 when none went out within nMaxTicks.
    std::pair<char, int> NextCommand(int nMaxTicks = 500)
    {
        const std::size_t nBefore = m_pPort->Writes().size();
        for (int i = 1; i <= nMaxTicks && m_bRunning; ++i)
        {
            Tick();
            const auto vec = m_pPort->Writes();
            if (vec.size() > nBefore)
                return {static_cast<char>(vec[nBefore].byValue), i};
        }
        return {0, 0};
    }

    CTestPty m_pty;
    int m_nTick = 0;
    int m_nPass = 0;
    bool m_bRunning = true;
    CTestView m_view{&m_nTick, &m_nPass};
    std::unique_ptr<CRecordingPort> m_pPort;
    CLinkInfo m_link;
    CReaderLoop m_loop{m_link};
};

TEST_F(ReaderLoopTest, HandshakeAnswerStartsTheLiveWaitOfNinetyTwoTicks)
{
    Handshake();
    EXPECT_EQ(m_view.Log(), kConnected);
    EXPECT_TRUE(m_view.m_bTimerRunning);
    const auto next = NextCommand();
    EXPECT_EQ(next.first, 'q');
    EXPECT_EQ(next.second, 92);
}

TEST_F(ReaderLoopTest, UnansweredHandshakeNeverTimesOutAndStopEndsThePass)
{
    ASSERT_TRUE(m_loop.Start());
    Pass();
    Tick(300);
    EXPECT_EQ(m_pPort->WrittenText(), "r");
    EXPECT_EQ(m_view.Log(), "");
    EXPECT_EQ(m_loop.State().m_nPosition, 0);

    m_link.m_bMemoryIdle = 0;  // a download asked for meanwhile waits too
    Tick(50);
    EXPECT_EQ(m_pPort->WrittenText(), "r");

    m_link.m_bStopped = 1;  // COM Port Stop
    EXPECT_FALSE(Pass());
    EXPECT_EQ(m_loop.End(), 0);
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_pPort->m_nPurges.load(), 1);
    EXPECT_EQ(m_pPort->m_nCloses.load(), 0);
    EXPECT_TRUE(m_pPort->IsOpen());
}

TEST_F(ReaderLoopTest, LinkStoppedBeforeStartRunsNoPass)
{
    m_link.m_bStopped = 1;
    EXPECT_FALSE(m_loop.Start());
    EXPECT_EQ(m_loop.End(), 0);
    EXPECT_EQ(m_pPort->WrittenText(), "");
    EXPECT_EQ(m_pPort->m_nPurges.load(), 1);
}

// x at 92, 94 and 96 ticks after the q, the failure line at 98.
TEST_F(ReaderLoopTest, LiveSilenceAfterQSendsXThreeTimesThenFails)
{
    Handshake();
    ASSERT_EQ(NextCommand().first, 'q');
    const int nQ = m_nTick;

    std::vector<int> vecX;
    for (int i = 0; i < 3; ++i)
    {
        const auto next = NextCommand();
        ASSERT_EQ(next.first, 'x');
        vecX.push_back(m_nTick - nQ);
    }
    EXPECT_EQ(vecX, (std::vector<int>{92, 94, 96}));

    while (m_bRunning && m_nTick - nQ < 200)
        Tick();
    ASSERT_FALSE(m_bRunning);
    const auto pieces = m_view.Pieces();
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces.back().strText, kLiveFailure);
    EXPECT_EQ(pieces.back().nTick - nQ, 98);
    EXPECT_EQ(m_pPort->WrittenText(), "rqxxx");

    EXPECT_EQ(m_link.m_bStopped.load(), 1);
    EXPECT_EQ(m_view.m_bPortChosen.load(), 0);
    EXPECT_FALSE(m_view.m_bTimerRunning);
    EXPECT_EQ(m_pPort->m_nCloses.load(), 1);
    EXPECT_FALSE(m_pPort->IsOpen());
    EXPECT_TRUE(m_loop.ClosedPort());
    m_loop.End();
    EXPECT_EQ(m_pPort->m_nPurges.load(), 0) << "a port closed on failure is not purged";
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
}

// A complete frame during the x retries: q 2 ticks after the last x, then
// back to the 92-tick wait.
TEST_F(ReaderLoopTest, FrameDuringRetriesSendsQTwoTicksAfterTheLastX)
{
    Handshake();
    ASSERT_EQ(NextCommand().first, 'q');
    ASSERT_EQ(NextCommand().first, 'x');
    const int nX = m_nTick;

    const std::size_t nLines = LineCount();
    m_pty.Write(MakeFrame(23, 5, 7, 9, 5, 3, 98, 72));
    ASSERT_TRUE(PassUntil([&] { return LineCount() > nLines; }));
    EXPECT_EQ(m_view.Pieces().back().strText, "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n");
    EXPECT_EQ(m_loop.State().m_nRetryCount, 0);

    auto next = NextCommand();
    EXPECT_EQ(next.first, 'q');
    EXPECT_EQ(m_nTick - nX, 2);
    next = NextCommand();
    EXPECT_EQ(next.first, 'x');
    EXPECT_EQ(next.second, 92);
    EXPECT_TRUE(m_bRunning);
}

TEST_F(ReaderLoopTest, FramesKeepingUpResendQEveryNinetyTwoTicks)
{
    Handshake();
    ASSERT_EQ(NextCommand().first, 'q');
    for (int i = 0; i < 3; ++i)
    {
        // A frame every 20 ticks, as a device that keeps sending.
        for (int j = 0; j < 4; ++j)
        {
            const std::size_t nLines = LineCount();
            m_pty.Write(MakeFrame(23, 5, 7, 9, 5, static_cast<std::uint8_t>(j), 97, 70));
            ASSERT_TRUE(PassUntil([&] { return LineCount() > nLines; }));
            Tick(20);
        }
        const auto next = NextCommand();
        EXPECT_EQ(next.first, 'q');
        EXPECT_EQ(next.second, 12);
    }
}

// n at four 10-tick time-outs, the failure at the fifth.
TEST_F(ReaderLoopTest, MemorySilenceAfterHeaderStartSendsNFourTimesThenFails)
{
    Handshake();
    m_link.m_bMemoryIdle = 0;  // Memory Transmission Start
    Pass();
    Pass();
    ASSERT_EQ(m_pPort->WrittenText(), "rf");

    m_pty.Write({0x01});  // the header's first byte, then nothing
    ASSERT_TRUE(PassUntil([&] { return m_loop.State().m_nPosition == 12; }));
    const int nStart = m_nTick;

    std::vector<int> vecN;
    for (int i = 0; i < 4; ++i)
    {
        const auto next = NextCommand();
        ASSERT_EQ(next.first, 'n');
        vecN.push_back(m_nTick - nStart);
    }
    EXPECT_EQ(vecN, (std::vector<int>{10, 20, 30, 40}));

    while (m_bRunning && m_nTick - nStart < 100)
        Tick();
    ASSERT_FALSE(m_bRunning);
    EXPECT_EQ(m_view.Pieces().back().strText, kMemoryFailure);
    EXPECT_EQ(m_view.Pieces().back().nTick - nStart, 50);
    EXPECT_EQ(m_pPort->WrittenText(), "rfnnnn");
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_link.m_bStopped.load(), 1);
    EXPECT_EQ(m_view.m_bPortChosen.load(), 0);
    EXPECT_EQ(m_pPort->m_nCloses.load(), 1);
}

TEST_F(ReaderLoopTest, NoAnswerToFAlternatesFAndNWithoutEnd)
{
    Handshake();
    m_link.m_bMemoryIdle = 0;
    Pass();
    Pass();
    Tick(400);
    Pass();  // the f queued by the last n
    EXPECT_TRUE(m_bRunning);
    EXPECT_EQ(m_link.m_bStopped.load(), 0);
    std::string strExpected = "rf";
    for (int i = 0; i < 40; ++i)
        strExpected += "nf";
    EXPECT_EQ(m_pPort->WrittenText(), strExpected);
    // The n go out 10 ticks apart, each f on the pass after its n.
    const auto writes = m_pPort->Writes();
    for (std::size_t i = 2; i + 1 < writes.size(); i += 2)
    {
        if (i >= 4)
        {
            EXPECT_EQ(writes[i].nTick - writes[i - 2].nTick, 10) << i;
        }
        EXPECT_EQ(writes[i + 1].nPass - writes[i].nPass, 1) << i;
    }
    EXPECT_EQ(m_view.Log(), kConnected);

    // Memory Transmission Stop: the live-mode rules take over.
    // The first live time-out sends the first-retry command the download
    // left behind (f), then x three times, then the live failure line.
    m_link.m_bMemoryIdle = 1;
    m_link.m_bStopMemory = 1;
    Tick(200);
    EXPECT_FALSE(m_bRunning) << "after the stop the live time-outs give up";
    EXPECT_EQ(m_pPort->WrittenText(), strExpected + "fxxx");
    EXPECT_EQ(m_view.Pieces().back().strText, kLiveFailure);
}

TEST_F(ReaderLoopTest, DownloadAskedBeforeHandshakeSendsFOnThePassAfterTheAnswer)
{
    m_link.m_bMemoryIdle = 0;
    ASSERT_TRUE(m_loop.Start());
    Pass();
    Tick(150);
    EXPECT_EQ(m_pPort->WrittenText(), "r");

    m_pty.Write({kMarkHandshake});
    ASSERT_TRUE(PassUntil([&] { return Logged(kConnected); }));
    const int nAnswerPass = m_view.Pieces().back().nPass;
    Pass();
    ASSERT_EQ(m_pPort->WrittenText(), "rf");
    EXPECT_EQ(m_pPort->Writes().back().nPass, nAnswerPass + 1);
    EXPECT_EQ(m_loop.State().m_byState, kCmdHeader);
}

TEST_F(ReaderLoopTest, DownloadAskedInsideALiveFrameWaitsForItsChecksum)
{
    Handshake();
    ASSERT_EQ(NextCommand().first, 'q');
    const auto frame = MakeFrame(23, 5, 7, 9, 5, 3, 98, 72);
    m_pty.Write({frame.begin(), frame.begin() + 4});
    ASSERT_TRUE(PassUntil([&] { return m_loop.State().m_nPosition == 5; }));

    m_link.m_bMemoryIdle = 0;
    for (int i = 0; i < 20; ++i)
        Pass();
    EXPECT_EQ(m_pPort->WrittenText(), "rq");

    m_pty.Write({frame.begin() + 4, frame.end() - 1});
    ASSERT_TRUE(PassUntil([&] { return m_loop.State().m_nPosition == 9; }));
    Pass();
    EXPECT_EQ(m_pPort->WrittenText(), "rq");

    const std::size_t nLines = LineCount();
    m_pty.Write({frame.back()});
    ASSERT_TRUE(PassUntil([&] { return LineCount() > nLines; }));
    const int nFramePass = m_view.Pieces().back().nPass;
    Pass();
    EXPECT_EQ(m_pPort->WrittenText(), "rqf");
    EXPECT_EQ(m_pPort->Writes().back().nPass, nFramePass + 1);
}

class ReaderLoopDownloadTest : public ReaderLoopTest
{
protected:
    // Handshake, the download asked for, and a good header for nRecords.
    void BeginDownload(std::uint32_t nRecords)
    {
        Handshake();
        m_link.m_bMemoryIdle = 0;
        Pass();
        Pass();
        ASSERT_EQ(m_pPort->WrittenText(), "rf");
        m_pty.Write(MakeHeader(1, nRecords));
        ASSERT_TRUE(PassUntil([&] { return m_pPort->WrittenText() == "rfm"; }));
    }

    void SendRecord(int i)
    {
        const std::size_t nLines = LineCount();
        m_pty.Write(MakeFrame(23, 5, 7, 22, 0, static_cast<std::uint8_t>(i), 96, 60));
        ASSERT_TRUE(PassUntil([&] { return LineCount() > nLines; }));
    }
};

TEST_F(ReaderLoopDownloadTest, EveryRecordIsAnsweredWithMAndTheEndReturnsToLive)
{
    BeginDownload(3);
    for (int i = 0; i < 3; ++i)
    {
        SendRecord(i);
        ASSERT_TRUE(PassUntil([&] { return m_pPort->WrittenText().size() == 4u + i; }));
    }
    EXPECT_EQ(m_pPort->WrittenText(), "rfmmmm");
    // The final m waits for 0xFD without a time-out.
    Tick(300);
    EXPECT_EQ(m_pPort->WrittenText(), "rfmmmm");

    m_pty.Write({kMarkEndOfData});
    ASSERT_TRUE(PassUntil([&] { return Logged("End of Data Tranmission\r\n"); }));
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    const auto pieces = m_view.Pieces();
    ASSERT_EQ(pieces.size(), 6u);
    EXPECT_EQ(pieces[1].strText, "(1/3) 2023-5-7 22:00:00 Spo2: 96 (%) HR: 60 (bpm) \r\n");
    EXPECT_EQ(pieces[3].strText, "(3/3) 2023-5-7 22:00:02 Spo2: 96 (%) HR: 60 (bpm) \r\n");
    EXPECT_EQ(pieces[4].strText, "Total number of Memory Data : 3 \r\n");

    // The live-mode reset: the next q 92 ticks later.
    const auto next = NextCommand();
    EXPECT_EQ(next.first, 'q');
    EXPECT_EQ(next.second, 92);
}

TEST_F(ReaderLoopDownloadTest, StopRequestDuringRecordsSendsZOnTheNextPassInStateM)
{
    BeginDownload(5);
    SendRecord(0);
    ASSERT_TRUE(PassUntil([&] { return m_pPort->WrittenText() == "rfmm"; }));
    ASSERT_EQ(m_loop.State().m_byState, kCmdNextRecord);

    // Memory Transmission Stop answered OK.
    m_link.m_bMemoryIdle = 1;
    m_link.m_bStopMemory = 1;
    const int nAskPass = m_nPass + 1;
    Pass();
    EXPECT_EQ(m_link.m_bStopMemory.load(), 0);
    Pass();
    const auto writes = m_pPort->Writes();
    ASSERT_EQ(m_pPort->WrittenText(), "rfmmz");
    EXPECT_EQ(writes.back().nPass, nAskPass + 1);
    EXPECT_EQ(m_loop.State().m_byState, kCmdStop);
    EXPECT_TRUE(m_bRunning);
}

TEST_F(ReaderLoopDownloadTest, StopRequestWaitsWhileTheReaderStateIsNotM)
{
    BeginDownload(5);
    SendRecord(0);
    // The good record left the reader state at none until m goes out; the
    // request is made before that pass.
    ASSERT_NE(m_loop.State().m_byState, kCmdNextRecord);
    m_link.m_bMemoryIdle = 1;
    m_link.m_bStopMemory = 1;
    Pass();  // writes m; the same pass's mode check queues z
    EXPECT_EQ(m_pPort->WrittenText(), "rfmm");
    EXPECT_EQ(m_link.m_bStopMemory.load(), 0);
    Pass();
    EXPECT_EQ(m_pPort->WrittenText(), "rfmmz");
}

TEST_F(ReaderLoopDownloadTest, BadRecordIsAskedForAgainWithNAndShownOnceWithItsNumber)
{
    BeginDownload(2);
    auto bad = MakeFrame(23, 5, 7, 22, 0, 0, 96, 60);
    bad.back() ^= 0x01;
    m_pty.Write(bad);
    m_pPort->WaitReadable(2000);
    Pass();
    ASSERT_EQ(m_loop.State().m_nPosition, 21);
    ASSERT_EQ(m_view.PieceCount(), 1u);
    auto next = NextCommand();
    EXPECT_EQ(next.first, 'n');
    EXPECT_EQ(next.second, 10);
    SendRecord(0);
    const auto pieces = m_view.Pieces();
    EXPECT_EQ(pieces.back().strText, "(1/2) 2023-5-7 22:00:00 Spo2: 96 (%) HR: 60 (bpm) \r\n");
    EXPECT_EQ(pieces.size(), 2u);
}

TEST_F(ReaderLoopTest, StopDuringDownloadEndsAfterThePassAndPurges)
{
    // Stopping from outside while records come: the pass ends the loop and
    // the end purges the input.
    Handshake();
    m_link.m_bMemoryIdle = 0;
    Pass();
    m_link.m_bStopped = 1;
    m_pty.Write(MakeHeader(1, 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(Pass());
    m_loop.End();
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_pPort->m_nPurges.load(), 1);
    EXPECT_EQ(m_pPort->m_nCloses.load(), 0);
    EXPECT_EQ(m_view.m_bPortChosen.load(), 1);
}

TEST_F(ReaderLoopTest, FailedWriteShowsTxErrorAndTheStateStillTakesTheCommand)
{
    ASSERT_TRUE(m_loop.Start());
    m_pty.CloseMaster();  // the far end is gone: writes fail
    Pass();
    ASSERT_EQ(m_pPort->Writes().size(), 1u);
    EXPECT_FALSE(m_pPort->Writes()[0].bOk);
    EXPECT_EQ(m_view.Messages(), std::vector<std::string>{"TX error"});
    EXPECT_EQ(m_loop.State().m_byState, kCmdHandshake);
    EXPECT_EQ(m_loop.State().m_byPending, 0);
    EXPECT_GE(m_view.m_nScrolls.load(), 1);
    EXPECT_TRUE(m_bRunning);
}
}  // namespace

namespace
{
// Between reads that bring nothing the loop sleeps on the port (a few
// milliseconds at most) instead of polling it flat out.
TEST_F(ReaderLoopTest, SilentDeviceDoesNotMakeTheLoopSpin)
{
    Handshake();
    m_loop.SetIdleWaitMillis(CReaderLoop::kIdleWaitMillis);
    const int nFirst = m_nPass;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until && m_bRunning)
        Pass();
    const int nPasses = m_nPass - nFirst;
    EXPECT_GT(nPasses, 0);
    EXPECT_LT(nPasses, 500) << "about 100 passes are expected in 500 ms, a spinning loop makes thousands";

    EXPECT_TRUE(m_bRunning);
}
}  // namespace
