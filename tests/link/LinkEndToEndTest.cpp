// The whole link on real parts: the device emulator on a pseudo-terminal,
// the POSIX port, the worker thread run by CLinkController, and a view that
// hands every log operation to the test's thread as the window does.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "DeviceEmulator.h"
#include "LinkTestSupport.h"
#include "QueuedView.h"
#include "link/LinkController.h"
#include "link/LinkInfo.h"
#include "link/WireProtocol.h"

namespace
{
using namespace std::chrono_literals;

const std::string kConnected = "Connection established successfully.\r\n";
const std::string kEndOfData = "End of Data Tranmission\r\n";
const std::string kMemoryFailure = "*** Retry Connection failed. please check connection. ***\r\n";
const std::string kLiveFailure = "**** Connection failed. Please check connection. ****\r\n";

std::string RecordLine(int nNumber, int nTotal, const CStoredRecord& r)
{
    char sz[160];
    std::snprintf(sz, sizeof sz, "(%d/%d) 20%02d-%d-%d %2d:%02d:%02d Spo2: %d (%%) HR: %d (bpm) \r\n", nNumber,
                  nTotal, r.m_byYear, r.m_byMonth & 0x0F, r.m_byDay, r.m_byHour, r.m_byMinute, r.m_bySecond,
                  r.m_bySpo2, r.m_byPulse);
    return sz;
}

// Ends the test run if a wait of the link ever hangs, instead of blocking CI.
class CWatchdog
{
public:
    explicit CWatchdog(std::chrono::seconds limit)
        : m_thread([this, limit] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_cv.wait_for(lock, limit, [this] { return m_bDone; }))
              {
                  std::fprintf(stderr, "watchdog: the link test hung\n");
                  std::abort();
              }
          })
    {
    }
    ~CWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bDone = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDone = false;
    std::thread m_thread;
};

class LinkEndToEndTest : public ::testing::Test
{
protected:
    void StartEmulator(const CEmulatorOptions& options)
    {
        m_pEmulator = std::make_unique<CDeviceEmulator>(options);
        ASSERT_TRUE(m_pEmulator->Start()) << m_pEmulator->LastError();
    }

    void MakeController(std::chrono::milliseconds tick = 100ms)
    {
        m_pView = std::make_unique<CQueuedView>(tick);
        m_link.m_pView = m_pView.get();
        m_pController = std::make_unique<CLinkController>(m_link, &m_pView->m_queue, *m_pView);
    }

    void TearDown() override
    {
        m_pController.reset();
        if (m_pView)
        {
            EXPECT_EQ(m_pView->m_nWrongThread.load(), 0);
        }
        if (m_pEmulator)
            m_pEmulator->Stop();
    }

    CWatchdog m_watchdog{240s};
    CLinkInfo m_link;
    std::unique_ptr<CDeviceEmulator> m_pEmulator;
    std::unique_ptr<CQueuedView> m_pView;
    std::unique_ptr<CLinkController> m_pController;
};

TEST_F(LinkEndToEndTest, HandshakeThenLiveLines)
{
    CEmulatorOptions options;
    options.m_nLiveIntervalMs = 200;
    StartEmulator(options);
    MakeController(20ms);  // a fifth of the real tick, so the 92-tick wait is short

    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    EXPECT_EQ(m_pView->m_vecPortMessages, std::vector<std::string>{m_pEmulator->PortPath() + " port succeed "});
    ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->m_vecPieces.size() >= 4; }, 60000)) << m_pView->Log();

    EXPECT_EQ(m_pView->m_vecPieces[0], kConnected);
    const std::regex live(R"(20\d\d-\d{1,2}-\d{1,2} [ 1-2]\d:\d\d:\d\d Spo2: (\d+|-) \(%\) HR: (\d+|-) \(bpm\) \r\n)");
    for (std::size_t i = 1; i < m_pView->m_vecPieces.size(); ++i)
        EXPECT_TRUE(std::regex_match(m_pView->m_vecPieces[i], live)) << m_pView->m_vecPieces[i];
    const auto commands = m_pEmulator->Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], 'r');
    EXPECT_EQ(commands[1], 'q');

    m_pController->Stop();
    EXPECT_EQ(m_pView->m_vecPortMessages.back(), "End of Connection");
    EXPECT_EQ(m_pView->m_nOwnerScrolls, 1);
    EXPECT_FALSE(m_pController->IsPortOpen());
    EXPECT_FALSE(m_pController->HasWorker());
    EXPECT_TRUE(m_pEmulator->WaitForCommand('z', 5000));
    EXPECT_EQ(m_link.m_bStopped.load(), 1);
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
}

TEST_F(LinkEndToEndTest, DownloadOfThreeHundredRecordsArrivesWholeAndInOrder)
{
    CEmulatorOptions options;
    options.m_nRecords = 300;
    StartEmulator(options);
    MakeController();

    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->Logged(kConnected); }, 30000));
    m_link.m_bMemoryIdle = 0;  // Memory Transmission Start
    ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->Logged(kEndOfData); }, 120000)) << m_pView->Log();

    const auto& records = m_pEmulator->Records();
    ASSERT_EQ(records.size(), 300u);
    std::string strExpected = kConnected;
    for (int i = 0; i < 300; ++i)
        strExpected += RecordLine(i + 1, 300, records[static_cast<std::size_t>(i)]);
    strExpected += "Total number of Memory Data : 300 \r\n";
    strExpected += kEndOfData;
    EXPECT_EQ(m_pView->Log(), strExpected);
    // The end line is flushed before the download is marked ended, so the
    // flag may trail the line by a moment.
    EXPECT_TRUE(m_pView->WaitFor([&] { return m_link.m_bMemoryIdle.load() == 1; }, 10000));
    EXPECT_EQ(m_link.m_bStopped.load(), 0);
    EXPECT_EQ(m_pEmulator->CommandCount('m'), 301u);
    m_pController->Stop();
}

TEST_F(LinkEndToEndTest, CorruptedRecordIsShownOnceWithItsOwnNumber)
{
    CEmulatorOptions options;
    options.m_nRecords = 20;
    options.m_nCorruptEvery = 7;
    StartEmulator(options);
    MakeController();

    m_link.m_bMemoryIdle = 0;  // asked for from the start, as oxilume-cli --download does
    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->Logged(kEndOfData); }, 120000)) << m_pView->Log();
    EXPECT_GE(m_pEmulator->Counts().m_nCorruptedFrames, 2u);
    EXPECT_GE(m_pEmulator->CommandCount('n'), 2u);

    const auto& records = m_pEmulator->Records();
    std::string strExpected = kConnected;
    for (int i = 0; i < 20; ++i)
        strExpected += RecordLine(i + 1, 20, records[static_cast<std::size_t>(i)]);
    strExpected += "Total number of Memory Data : 20 \r\n" + kEndOfData;
    EXPECT_EQ(m_pView->Log(), strExpected);
    m_pController->Stop();
}

TEST_F(LinkEndToEndTest, HangUpMidDownloadEndsInTheFailureLineWithoutHanging)
{
    CEmulatorOptions options;
    options.m_nRecords = 300;
    options.m_nHangupAfter = 1 + 5 + 9 * 40 + 4;  // inside record 41
    StartEmulator(options);
    MakeController();

    m_link.m_bMemoryIdle = 0;
    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    ASSERT_TRUE(m_pView->WaitFor([&] { return m_link.IsStopped(); }, 60000)) << m_pView->Log();
    m_pController->Reap();
    EXPECT_FALSE(m_pController->HasWorker());
    EXPECT_FALSE(m_pController->IsPortOpen());

    ASSERT_FALSE(m_pView->m_vecPieces.empty());
    EXPECT_EQ(m_pView->m_vecPieces.back(), kMemoryFailure);
    EXPECT_TRUE(m_pView->Logged("(40/300) "));
    EXPECT_FALSE(m_pView->Logged("(41/300) "));
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_pView->m_bPortChosen.load(), 0);

    // Stopping after the worker gave up closes nothing twice.
    m_pController->Stop();
    m_pController->ResetPort();
}

TEST_F(LinkEndToEndTest, PortClosedByTheWorkerIsClosedOnceAndOpensAgain)
{
    CEmulatorOptions options;
    options.m_nLiveIntervalMs = 100;
    options.m_nSilenceAfter = 2;  // two live frames, then nothing
    StartEmulator(options);
    MakeController(10ms);

    struct CCounts
    {
        int nCloses = -1;
        int nPurges = -1;
    };
    std::vector<std::shared_ptr<CCounts>> vecPorts;
    m_pController->SetPortOpener([&vecPorts](const std::string& strPort) -> std::unique_ptr<CSerialPort> {
        std::unique_ptr<CSerialPort> pReal = OpenSerialPort(strPort);
        if (!pReal)
            return nullptr;
        auto pPort = std::make_unique<CRecordingPort>(std::move(pReal), nullptr, nullptr);
        auto pCounts = std::make_shared<CCounts>();
        pPort->m_fnOnDestroy = [pCounts](CRecordingPort& port) {
            pCounts->nCloses = port.m_nCloses.load();
            pCounts->nPurges = port.m_nPurges.load();
        };
        vecPorts.push_back(pCounts);
        return pPort;
    });

    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    ASSERT_TRUE(m_pView->WaitFor([&] { return m_link.IsStopped() && m_pView->Logged(kLiveFailure); }, 60000))
        << m_pView->Log();
    EXPECT_EQ(m_pView->m_vecPieces.back(), kLiveFailure);
    ASSERT_EQ(vecPorts.size(), 1u);

    // COM Port Start is available again at once, while the worker that gave
    // up may still be ending: the start waits for it and opens the port anew.
    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    EXPECT_EQ(vecPorts[0]->nCloses, 1) << "closed by the worker, and not again";
    EXPECT_EQ(vecPorts[0]->nPurges, 0);
    ASSERT_EQ(vecPorts.size(), 2u);
    EXPECT_TRUE(m_pController->IsPortOpen());
    const std::size_t nStops = m_pEmulator->CommandCount('z');
    m_pController->ResetPort();  // File New: purge and close, no stop byte
    EXPECT_EQ(vecPorts[1]->nCloses, 1);
    EXPECT_EQ(vecPorts[1]->nPurges, 2) << "the worker's end and the reset purge";
    EXPECT_EQ(m_pEmulator->CommandCount('z'), nStops);
}

TEST_F(LinkEndToEndTest, OpenThatFailsReportsAndWithdrawsThePortChoice)
{
    MakeController();
    EXPECT_FALSE(m_pController->Start("/dev/oxilume-no-such-port"));
    EXPECT_EQ(m_pView->m_vecPortMessages, std::vector<std::string>{"/dev/oxilume-no-such-port port fails !!"});
    EXPECT_EQ(m_link.m_bStopped.load(), 1);
    EXPECT_EQ(m_pView->m_bPortChosen.load(), 0);
    EXPECT_FALSE(m_pController->HasWorker());
    EXPECT_FALSE(m_pController->IsPortOpen());
}

// Many starts and stops, stopped at every stage of the link, with the log
// handed over through the queue: no deadlock, no port left open, one z a
// stop.
TEST_F(LinkEndToEndTest, ManyStartStopCyclesNeverHang)
{
    CEmulatorOptions options;
    options.m_nRecords = 30;
    options.m_nLiveIntervalMs = 50;
    StartEmulator(options);
    MakeController(10ms);

    int nStops = 0;
    for (int i = 0; i < 60; ++i)
    {
        const std::size_t nBefore = m_pView->m_vecPieces.size();
        ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath())) << i;
        switch (i % 5)
        {
        case 0:  // at once, maybe before the first pass
            break;
        case 1:  // after the handshake
            ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->m_vecPieces.size() > nBefore; }, 20000)) << i;
            break;
        case 2:  // during a download
            m_link.m_bMemoryIdle = 0;
            ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->m_vecPieces.size() > nBefore + 5; }, 20000)) << i;
            break;
        case 3:  // while live frames come
            ASSERT_TRUE(m_pView->WaitFor([&] { return m_pView->m_vecPieces.size() > nBefore + 2; }, 20000)) << i;
            break;
        default:  // a worker ending while its log requests still wait
            m_link.m_bMemoryIdle = 0;
            std::this_thread::sleep_for(30ms);
            break;
        }
        if (i % 7 == 6)
        {
            m_pController->ResetPort();
        }
        else
        {
            m_pController->Stop();
            ++nStops;
        }
        ASSERT_FALSE(m_pController->HasWorker());
        ASSERT_FALSE(m_pController->IsPortOpen());
        EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
        m_link.m_bMemoryIdle = 1;
    }
    EXPECT_EQ(m_pView->m_queue.Pending(), 0);
    EXPECT_TRUE(m_pEmulator->WaitForCommand('z', 5000, static_cast<std::size_t>(nStops)));
    // A link stopped before its first pass sends nothing at all; every other
    // one sent its r.
    EXPECT_GE(m_pEmulator->CommandCount('r'), 48u);
    EXPECT_LE(m_pEmulator->CommandCount('r'), 60u);

    // The owner goes away with a link running: the destructor ends it.
    ASSERT_TRUE(m_pController->Start(m_pEmulator->PortPath()));
    m_link.m_bMemoryIdle = 0;
    std::this_thread::sleep_for(20ms);
    m_pController.reset();
    EXPECT_EQ(m_link.m_bStopped.load(), 1);
}
}  // namespace
