#include "link/ReaderLoop.h"

#include "link/WireProtocol.h"

namespace
{
using namespace WireProtocol;

constexpr int kReadSize = 200;
constexpr int kPosBetweenFrames = ReaderPos::kBetweenFrames;
using ReaderPos::kLiveWait;
using ReaderPos::kMemoryWait;
constexpr int kLiveRetryWait = 2;
constexpr int kMaxRetries = 4;

const char* const kLiveFailure = "**** Connection failed. Please check connection. ****\r\n";
const char* const kMemoryFailure = "*** Retry Connection failed. please check connection. ***\r\n";
}  // namespace

CReaderLoop::CReaderLoop(CLinkInfo& link) : m_link(link)
{
}

bool CReaderLoop::Start()
{
    m_pView = m_link.m_pView;
    m_pPort = m_link.m_hComm;
    m_decoder.emplace(m_state, *m_pView, m_link);
    m_pPort->SetWorkerTimeouts();
    m_state.Reset();
    m_bClosedPort = false;
    return !m_link.IsStopped();
}

bool CReaderLoop::RunPass()
{
    // 1. Write.
    if (m_state.m_byPending != 0)
    {
        const std::uint8_t byCommand = m_state.m_byPending;
        if (!m_pPort->WriteByte(byCommand))
            m_pView->ShowMessage("TX error");
        m_pView->ScrollToEnd();
        m_state.m_byState = byCommand;
        m_state.m_byPending = 0;
    }

    // 2. Read, 3. the bytes to the decoding.
    std::uint8_t abyBuffer[kReadSize];
    const int nRead = m_pPort->Read(abyBuffer, kReadSize);
    if (nRead > 0 && !m_link.IsStopped())
    {
        for (int i = 0; i < nRead; ++i)
        {
            if (m_decoder->TakeByte(abyBuffer[i]))
                break;
        }
    }

    // 4. Mode check, 5. time-out check (6. connection failure inside).
    ModeCheck();
    TimeoutCheck();

    // 7.
    if (m_link.IsStopped())
        return false;

    // Nothing came and nothing is to be sent: sleep until the port has
    // something, for a few milliseconds at most. The time limits run on the
    // tick counter, so the pause never changes when a time-out fires.
    if (nRead <= 0 && m_state.m_byPending == 0 && m_nIdleWaitMillis > 0)
        m_pPort->WaitReadable(m_nIdleWaitMillis);
    return true;
}

void CReaderLoop::ModeCheck()
{
    if (m_link.m_bMemoryIdle.load() == 0)
    {
        if (m_state.m_nPosition == kPosBetweenFrames && m_state.m_byState != kCmdHeader &&
            m_state.m_byState != kCmdNextRecord)
        {
            m_decoder->StopTimer();
            m_state.m_byState = kCmdHeader;
            m_state.m_byPending = kCmdHeader;
            m_state.m_byFirstRetry = kCmdHeader;
            m_state.m_nRetryCount = 0;
            m_state.m_nThreshold = kMemoryWait;
            m_decoder->ArmTimer();
        }
    }
    else if (m_state.m_byState == kCmdNextRecord)
    {
        if (m_link.m_bStopMemory.load() != 0)
        {
            m_state.m_byPending = kCmdStop;
            m_link.m_bStopMemory.store(0);
        }
        else
        {
            m_state.m_byState = 0;
            m_state.m_nPosition = kPosBetweenFrames;
            m_state.m_nRecordIndex = 0;
            m_state.m_byFirstRetry = kCmdLive;
            m_state.m_nThreshold = kLiveWait;
            m_decoder->ArmTimer();
        }
    }
}

void CReaderLoop::TimeoutCheck()
{
    const bool bLive = m_link.m_bMemoryIdle.load() != 0;
    if (m_state.m_nThreshold == 0 || m_pView->Ticks().load() < m_state.m_nThreshold)
        return;

    if (bLive)
    {
        if (m_state.m_nRetryCount >= kMaxRetries)
        {
            ConnectionFailure(kLiveFailure);
        }
        else if (m_state.m_nRetryCount == 0)
        {
            m_state.m_nRetryCount = 1;
            m_state.m_byPending = m_state.m_byFirstRetry;
            m_state.m_nThreshold = kLiveWait;
            m_pView->Ticks().store(0);
        }
        else
        {
            ++m_state.m_nRetryCount;
            m_state.m_byPending = kCmdLiveAgain;
            m_state.m_nThreshold = kLiveRetryWait;
            m_pView->Ticks().store(0);
        }
    }
    else
    {
        if (m_state.m_nRetryCount >= kMaxRetries)
        {
            m_link.m_bMemoryIdle.store(1);
            ConnectionFailure(kMemoryFailure);
        }
        else
        {
            ++m_state.m_nRetryCount;
            m_state.m_byPending = kCmdResume;
            m_pView->Ticks().store(0);
        }
    }
}

void CReaderLoop::ConnectionFailure(const char* pszText)
{
    m_link.m_bStopped.store(1);
    m_pView->PortChosen().store(0);
    m_pPort->Close();
    m_bClosedPort = true;
    m_decoder->StopTimer();
    m_state.m_strLine = pszText;
    m_decoder->FlushLine();
}

int CReaderLoop::End()
{
    m_link.m_bMemoryIdle.store(1);
    if (!m_bClosedPort)
        m_pPort->PurgeReceive();
    return 0;
}
